// SPDX-License-Identifier: GPL-2.0
/*
 * A firmware-attributes device for the virtual-machine tests, shaped like a Vantrel notebook's
 * (sys/class/firmware-attributes/vantrel-wmi), plus the battery that QEMU's machine lacks.
 * Module parameters set the machine's state so that one build serves every test case. It is
 * loaded only inside the test machine and is never shipped.
 *
 * The class calls are the ones the kernel's own drivers make (dell-wmi-sysman, think-lmi):
 * fw_attributes_class_get, device_create, one kset for attributes and one for authentication.
 *
 * The admin password works as the class ABI describes it: current_password opens a session,
 * the firmware checks it when a value is written, and the writer clears it afterwards. Like
 * real firmware, it counts wrong passwords and locks itself after three of them: then it
 * takes no password and no change until it is loaded again (the next power cycle). The counts
 * are module parameters, outside the class folder, so that the tool under test never sees them.
 */
#include <linux/device.h>
#include <linux/kdev_t.h>
#include <linux/kobject.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/power_supply.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/sysfs.h>

/* Exported by firmware_attributes_class.ko; its header is not among the packaged headers. */
int fw_attributes_class_get(struct class **fw_attr_class);
int fw_attributes_class_put(void);

#define DEVICE_NAME "vantrel-wmi"
#define VALUE_MAX 128
#define MAX_WRONG_PASSWORDS 3

static bool patched;
module_param(patched, bool, 0444);
MODULE_PARM_DESC(patched, "Cellkeeper starts at the new value instead of the old one");

static bool password;
module_param(password, bool, 0444);
MODULE_PARM_DESC(password, "The BIOS admin (setup) password is set");

static bool enhanced_auth;
module_param(enhanced_auth, bool, 0444);
MODULE_PARM_DESC(enhanced_auth, "Enhanced BIOS Authentication Mode is Enable");

/* Permission 0: a password has no place in sysfs, not even the test machine's. */
static char *admin = "Tq8v-setup-K3y";
module_param(admin, charp, 0);
MODULE_PARM_DESC(admin, "The admin password that password=1 sets (UTF-8)");

static char *encodings;
module_param(encodings, charp, 0444);
MODULE_PARM_DESC(encodings,
		 "The password encodings that authentication/Admin/encodings lists (';'-separated); "
		 "without it there is no such file");

static int wrong_passwords;
module_param(wrong_passwords, int, 0444);
MODULE_PARM_DESC(wrong_passwords,
		 "Attempts the firmware turned away for the admin password: a change with a wrong or "
		 "no password, and once locked (3 or more) any password or change; set it at load "
		 "to start locked");

static int passwords_received;
module_param(passwords_received, int, 0444);
MODULE_PARM_DESC(passwords_received, "current_password writes that carried a password (read-only)");

static bool password_held;
module_param(password_held, bool, 0444);
MODULE_PARM_DESC(password_held, "A current_password session is open (read-only)");

static int fail_store;
module_param(fail_store, int, 0444);
MODULE_PARM_DESC(fail_store, "An errno (such as 5, EIO) that every current_value store returns");

static bool battery = true;
module_param(battery, bool, 0444);
MODULE_PARM_DESC(battery, "Register a present battery BAT0 (power-supply class)");

struct setting {
	struct kobject kobj;
	const char *name;
	const char *possible_values;
	const char *default_value;
	char current_value[VALUE_MAX];
};

static DEFINE_MUTEX(state_lock);
static struct class *fw_attr_class;
static struct device *class_dev;
static struct kset *attributes_kset;
static struct kset *authentication_kset;
static struct kobject *admin_kobj;
static struct setting *settings[2];
static int pending_reboot;
static char admin_password[VALUE_MAX];
static struct power_supply *bat0;

/* The helpers below are called with state_lock held. */
static bool locked_out(void)
{
	return wrong_passwords >= MAX_WRONG_PASSWORDS;
}

static void end_session(void)
{
	memzero_explicit(admin_password, sizeof(admin_password));
	password_held = false;
}

/* The attempt that locks the firmware also ends the session it came with. */
static void count_wrong_password(void)
{
	wrong_passwords++;
	if (locked_out())
		end_session();
}

static struct setting *to_setting(struct kobject *kobj)
{
	return container_of(kobj, struct setting, kobj);
}

/* Length of the value without the one line end that `echo` and most writers send. */
static size_t value_length(const char *buf, size_t count)
{
	if (count > 0 && buf[count - 1] == '\n')
		count--;
	return count;
}

/* Whether buf[0..len) is one of the ';'-separated choices, exactly. */
static bool is_possible_value(const char *choices, const char *buf, size_t len)
{
	while (*choices) {
		const char *end = strchrnul(choices, ';');

		if ((size_t)(end - choices) == len && !memcmp(choices, buf, len))
			return true;
		choices = *end ? end + 1 : end;
	}
	return false;
}

static ssize_t current_value_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	ssize_t ret;

	mutex_lock(&state_lock);
	ret = sysfs_emit(buf, "%s\n", to_setting(kobj)->current_value);
	mutex_unlock(&state_lock);
	return ret;
}

static ssize_t current_value_store(struct kobject *kobj, struct kobj_attribute *attr,
				   const char *buf, size_t count)
{
	struct setting *setting = to_setting(kobj);
	size_t len = value_length(buf, count);
	ssize_t ret = count;

	if (fail_store)
		return -abs(fail_store);
	if (len == 0 || len >= VALUE_MAX || !is_possible_value(setting->possible_values, buf, len))
		return -EINVAL;

	mutex_lock(&state_lock);
	if (locked_out()) {
		wrong_passwords++;
		ret = -EPERM;
	} else if (password && strcmp(admin_password, admin)) {
		/* The firmware takes no change without the admin password once one is set. */
		count_wrong_password();
		ret = -EACCES;
	} else if (strlen(setting->current_value) != len ||
		   memcmp(setting->current_value, buf, len)) {
		memcpy(setting->current_value, buf, len);
		setting->current_value[len] = '\0';
		pending_reboot = 1;
	}
	/* A right password starts the count again, as firmware does. */
	if (ret >= 0 && password)
		wrong_passwords = 0;
	mutex_unlock(&state_lock);
	return ret;
}

static ssize_t possible_values_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "%s\n", to_setting(kobj)->possible_values);
}

static ssize_t default_value_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "%s\n", to_setting(kobj)->default_value);
}

static ssize_t display_name_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "%s\n", to_setting(kobj)->name);
}

static ssize_t type_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "enumeration\n");
}

static struct kobj_attribute current_value_attr = __ATTR_RW(current_value);
static struct kobj_attribute possible_values_attr = __ATTR_RO(possible_values);
static struct kobj_attribute default_value_attr = __ATTR_RO(default_value);
static struct kobj_attribute display_name_attr = __ATTR_RO(display_name);
static struct kobj_attribute type_attr = __ATTR_RO(type);

static struct attribute *setting_attrs[] = {
	&current_value_attr.attr, &possible_values_attr.attr, &default_value_attr.attr,
	&display_name_attr.attr,  &type_attr.attr,	      NULL,
};
ATTRIBUTE_GROUPS(setting);

static void setting_release(struct kobject *kobj)
{
	kfree(to_setting(kobj));
}

static struct kobj_type setting_ktype = {
	.release = setting_release,
	.sysfs_ops = &kobj_sysfs_ops,
	.default_groups = setting_groups,
};

static ssize_t pending_reboot_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	ssize_t ret;

	mutex_lock(&state_lock);
	ret = sysfs_emit(buf, "%d\n", pending_reboot);
	mutex_unlock(&state_lock);
	return ret;
}

static struct kobj_attribute pending_reboot_attr = __ATTR_RO(pending_reboot);

/* authentication/Admin, the folder whose role names it the setup password. */
static ssize_t role_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "bios-admin\n");
}

static ssize_t mechanism_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "password\n");
}

static ssize_t is_enabled_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "%d\n", password ? 1 : 0);
}

static ssize_t min_password_length_show(struct kobject *kobj, struct kobj_attribute *attr,
					char *buf)
{
	return sysfs_emit(buf, "4\n");
}

static ssize_t max_password_length_show(struct kobject *kobj, struct kobj_attribute *attr,
					char *buf)
{
	return sysfs_emit(buf, "32\n");
}

/* Write-only, as in the kernel's drivers: a password is never read back. */
static ssize_t current_password_store(struct kobject *kobj, struct kobj_attribute *attr,
				      const char *buf, size_t count)
{
	size_t len = value_length(buf, count);
	ssize_t ret = count;

	if (len >= VALUE_MAX)
		return -EINVAL;
	mutex_lock(&state_lock);
	if (len)
		passwords_received++;
	if (locked_out()) {
		/* Clearing the session is no attempt; it is refused all the same. */
		if (len)
			wrong_passwords++;
		ret = -EPERM;
	} else {
		end_session();
		memcpy(admin_password, buf, len);
		password_held = len > 0;
	}
	mutex_unlock(&state_lock);
	return ret;
}

static ssize_t encodings_show(struct kobject *kobj, struct kobj_attribute *attr, char *buf)
{
	return sysfs_emit(buf, "%s\n", encodings);
}

static struct kobj_attribute encodings_attr = __ATTR_RO(encodings);
static struct kobj_attribute role_attr = __ATTR_RO(role);
static struct kobj_attribute mechanism_attr = __ATTR_RO(mechanism);
static struct kobj_attribute is_enabled_attr = __ATTR_RO(is_enabled);
static struct kobj_attribute min_password_length_attr = __ATTR_RO(min_password_length);
static struct kobj_attribute max_password_length_attr = __ATTR_RO(max_password_length);
static struct kobj_attribute current_password_attr = __ATTR_WO(current_password);

static struct attribute *admin_attrs[] = {
	&role_attr.attr,
	&mechanism_attr.attr,
	&is_enabled_attr.attr,
	&min_password_length_attr.attr,
	&max_password_length_attr.attr,
	&current_password_attr.attr,
	&encodings_attr.attr,
	NULL,
};

static umode_t admin_attr_visible(struct kobject *kobj, struct attribute *attr, int n)
{
	if (attr == &encodings_attr.attr && !encodings)
		return 0;
	return attr->mode;
}

static const struct attribute_group admin_group = {
	.attrs = admin_attrs,
	.is_visible = admin_attr_visible,
};

static struct setting *add_setting(const char *name, const char *possible_values,
				   const char *default_value, const char *current_value)
{
	struct setting *setting = kzalloc(sizeof(*setting), GFP_KERNEL);

	if (!setting)
		return ERR_PTR(-ENOMEM);
	setting->name = name;
	setting->possible_values = possible_values;
	setting->default_value = default_value;
	strscpy(setting->current_value, current_value, VALUE_MAX);
	setting->kobj.kset = attributes_kset;
	if (kobject_init_and_add(&setting->kobj, &setting_ktype, NULL, "%s", name)) {
		kobject_put(&setting->kobj);
		return ERR_PTR(-ENOMEM);
	}
	return setting;
}

/* The battery: QEMU's machine has none and the tool qualifies only a machine with one. */
static enum power_supply_property bat0_properties[] = {
	POWER_SUPPLY_PROP_PRESENT,
	POWER_SUPPLY_PROP_STATUS,
	POWER_SUPPLY_PROP_CAPACITY,
	POWER_SUPPLY_PROP_MODEL_NAME,
};

static int bat0_get_property(struct power_supply *psy, enum power_supply_property psp,
			     union power_supply_propval *val)
{
	switch (psp) {
	case POWER_SUPPLY_PROP_PRESENT:
		val->intval = 1;
		return 0;
	case POWER_SUPPLY_PROP_STATUS:
		val->intval = POWER_SUPPLY_STATUS_CHARGING;
		return 0;
	case POWER_SUPPLY_PROP_CAPACITY:
		val->intval = 87;
		return 0;
	case POWER_SUPPLY_PROP_MODEL_NAME:
		val->strval = "VT-56WH";
		return 0;
	default:
		return -EINVAL;
	}
}

static const struct power_supply_desc bat0_desc = {
	.name = "BAT0",
	.type = POWER_SUPPLY_TYPE_BATTERY,
	.properties = bat0_properties,
	.num_properties = ARRAY_SIZE(bat0_properties),
	.get_property = bat0_get_property,
};

static void remove_device(void)
{
	int i;

	if (admin_kobj) {
		sysfs_remove_group(admin_kobj, &admin_group);
		kobject_put(admin_kobj);
	}
	kset_unregister(authentication_kset);
	for (i = 0; i < ARRAY_SIZE(settings); i++)
		if (!IS_ERR_OR_NULL(settings[i]))
			kobject_put(&settings[i]->kobj);
	if (attributes_kset)
		sysfs_remove_file(&attributes_kset->kobj, &pending_reboot_attr.attr);
	kset_unregister(attributes_kset);
	if (class_dev)
		device_destroy(fw_attr_class, MKDEV(0, 0));
	fw_attributes_class_put();
}

static int __init vantrel_wmi_test_init(void)
{
	int ret = fw_attributes_class_get(&fw_attr_class);

	if (ret)
		return ret;
	class_dev = device_create(fw_attr_class, NULL, MKDEV(0, 0), NULL, DEVICE_NAME);
	if (IS_ERR(class_dev)) {
		ret = PTR_ERR(class_dev);
		class_dev = NULL;
		goto fail;
	}
	ret = -ENOMEM;
	attributes_kset = kset_create_and_add("attributes", NULL, &class_dev->kobj);
	authentication_kset = kset_create_and_add("authentication", NULL, &class_dev->kobj);
	if (!attributes_kset || !authentication_kset)
		goto fail;
	ret = sysfs_create_file(&attributes_kset->kobj, &pending_reboot_attr.attr);
	if (ret)
		goto fail;

	settings[0] = add_setting("Cellkeeper",
				  "Maximize my battery duration;Let Vantrel manage my battery charging",
				  "Maximize my battery duration",
				  patched ? "Let Vantrel manage my battery charging" :
					    "Maximize my battery duration");
	settings[1] = add_setting("Enhanced BIOS Authentication Mode", "Disable;Enable", "Disable",
				  enhanced_auth ? "Enable" : "Disable");
	if (IS_ERR(settings[0]) || IS_ERR(settings[1]))
		goto fail;

	admin_kobj = kobject_create_and_add("Admin", &authentication_kset->kobj);
	if (!admin_kobj)
		goto fail;
	ret = sysfs_create_group(admin_kobj, &admin_group);
	if (ret)
		goto fail;

	if (battery) {
		bat0 = power_supply_register(NULL, &bat0_desc, NULL);
		if (IS_ERR(bat0)) {
			ret = PTR_ERR(bat0);
			bat0 = NULL;
			goto fail;
		}
	}
	return 0;

fail:
	remove_device();
	return ret;
}

static void __exit vantrel_wmi_test_exit(void)
{
	if (bat0)
		power_supply_unregister(bat0);
	remove_device();
}

module_init(vantrel_wmi_test_init);
module_exit(vantrel_wmi_test_exit);

MODULE_DESCRIPTION("Vantrel firmware-attributes test device for virtual machines");
MODULE_LICENSE("GPL");
