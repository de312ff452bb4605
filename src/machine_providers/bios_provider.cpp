#include "machine_providers/bios_provider.h"

#include "base/secret_text.h"
#include "base/text.h"
#include "machine_providers/capped_reads.h"
#include "machine_providers/device_reads.h"
#include "machine_providers/firmware_attribute_write.h"
#include "machine_providers/firmware_attributes.h"
#include "machine_providers/firmware_text.h"
#include "machine_providers/providers.h"
#include "wmi_service/bstr.h"
#include "wmi_service/variant.h"
#include "wmi_service/wbem_object_builder.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <optional>
#include <string>

namespace machine_providers {
namespace {

using wmi_service::Variant;
using wmi_service::WbemInstances;
using wmi_service::WbemObjectBuilder;

constexpr std::wstring_view kSettingClass = L"Vantrel_BIOSSetting";
constexpr std::wstring_view kPasswordStateClass = L"VantrelBIOS_BIOSPassword";
constexpr std::wstring_view kPasswordClass = L"Vantrel_BIOSPassword";
constexpr std::wstring_view kInterfaceClass = L"Vantrel_BIOSSettingInterface";
constexpr std::wstring_view kSetSettingMethod = L"SetBIOSSetting";
constexpr std::wstring_view kInterfaceInstanceName = L"Setting interface 0";
constexpr std::wstring_view kPendingReboot = L"PendingReboot";
constexpr CIMTYPE kStringArray = CIM_STRING | CIM_FLAG_ARRAY;

void SetText(WbemObjectBuilder& object, std::wstring_view name,
             const std::optional<std::string>& bytes) {
    if (bytes) {
        object.Set(name, DecodeMachineText(*bytes));
    } else {
        object.Declare(name, CIM_STRING);
    }
}

Variant StringList(const std::vector<std::string>& items) {
    std::vector<std::wstring> texts;
    texts.reserve(items.size());
    for (const std::string& item : items) texts.push_back(DecodeMachineText(item));
    return Variant::Strings(texts);
}

WbemObjectBuilder SettingClass() {
    return WbemObjectBuilder::Class(kSettingClass)
        .Declare(L"Name", CIM_STRING)
        .Declare(L"CurrentValue", CIM_STRING)
        .Declare(L"Value", CIM_STRING)
        .Declare(L"Type", CIM_STRING)
        .Declare(L"DisplayName", CIM_STRING)
        .Declare(L"DefaultValue", CIM_STRING)
        .Declare(L"PossibleValues", kStringArray)
        .Declare(L"SupportedEncoding", kStringArray)
        .Key(L"Name");
}

// The encodings of the setup password, or NULL where the driver does not say.
Variant Encodings(const BiosPasswordFacts& password) {
    if (!password.encodings) return Variant::Null();
    return StringList(SplitEncodings(*password.encodings));
}

// The files of a setting folder that are read with the instance: those of the current state.
// A setting's descriptions are fixed while the machine is up, so they wait for a Get.
FileRequest SettingFilesFor(const wmi_service::WbemRequest& request) {
    FileRequest files;
    if (request.Wants(L"Value")) files.Add({"current_value", "possible_values"});
    if (request.Wants(L"CurrentValue")) files.Add({"current_value"});
    return files;
}

// A description file of the setting, as text, read on the first Get.
void SetDescription(WbemObjectBuilder& instance, const wmi_service::WbemRequest& request,
                    std::wstring_view property, const std::optional<std::string>& known,
                    std::filesystem::path file) {
    if (!request.Wants(property)) {
        instance.Declare(property, CIM_STRING);
    } else if (known) {
        instance.Set(property, DecodeMachineText(*known));
    } else {
        instance.SetDeferred(property, CIM_STRING, [file = std::move(file)] {
            const std::optional<std::string> text = ReadDeviceFile(file);
            return text ? Variant::String(DecodeMachineText(*text)) : Variant::Null();
        });
    }
}

// possible_values as its list of choices, read on the first Get.
void SetPossibleValues(WbemObjectBuilder& instance, const wmi_service::WbemRequest& request,
                       const BiosSettingFacts& setting, std::filesystem::path file) {
    if (!request.Wants(L"PossibleValues")) return;
    if (setting.possibleValues) {
        instance.Set(L"PossibleValues", StringList(setting.Choices()), kStringArray);
        return;
    }
    instance.SetDeferred(L"PossibleValues", kStringArray, [file = std::move(file)] {
        const std::optional<std::string> text = ReadDeviceFile(file);
        return text ? StringList(SplitPossibleValues(*text)) : Variant::Null();
    });
}

HRESULT ProduceSettings(const WbemObjectBuilder& description,
                        const wmi_service::WbemRequest& request, WbemInstances& instances) {
    const std::optional<std::filesystem::path> device = VantrelFirmwareDevice();
    if (!device) return S_OK;
    // The setup password is an instance of its own, so only a request that can show it needs
    // the password folders.
    const std::wstring setupPasswordName = DecodeMachineText(kSetupPasswordName);
    std::optional<BiosPasswordFacts> setupPassword;
    if (request.MayMatch(setupPasswordName)) {
        setupPassword = FindSetupPassword(*device, request.Wants(L"SupportedEncoding")
                                                       ? FileRequest{"encodings"}
                                                       : FileRequest());
    }
    const FileRequest files = SettingFilesFor(request);
    bool setupPasswordServed = false;
    for (const std::string& name : SettingFolderNames(*device, request.key)) {
        std::optional<BiosSettingFacts> setting = ReadBiosSetting(*device, name, files);
        if (!setting) continue;
        if (request.Wants(L"Value")) ReadTypeWhenUndecided(*device, *setting);
        WbemObjectBuilder instance = description.Instance();
        instance.Set(L"Name", DecodeMachineText(setting->name));
        SetText(instance, L"CurrentValue", setting->currentValue);
        SetText(instance, L"Value", SettingValueText(*setting));
        const std::filesystem::path folder = *device / "attributes" / PathFromUtf8(name);
        SetDescription(instance, request, L"Type", setting->type, folder / "type");
        SetDescription(instance, request, L"DisplayName", {}, folder / "display_name");
        SetDescription(instance, request, L"DefaultValue", {}, folder / "default_value");
        SetPossibleValues(instance, request, *setting, folder / "possible_values");
        // A driver that also lists the password as a setting gets one instance, not two.
        if (setupPassword && setting->name == kSetupPasswordName) {
            instance.Set(L"SupportedEncoding", Encodings(*setupPassword), kStringArray);
            setupPasswordServed = true;
        }
        instances.push_back(instance.Build());
    }
    if (setupPassword && !setupPasswordServed) {
        WbemObjectBuilder instance = description.Instance();
        instance.Set(L"Name", setupPasswordName);
        instance.Set(L"Type", L"password");
        instance.Set(L"SupportedEncoding", Encodings(*setupPassword), kStringArray);
        instances.push_back(instance.Build());
    }
    return S_OK;
}

WbemObjectBuilder PasswordClass(std::wstring_view className) {
    return WbemObjectBuilder::Class(className)
        .Declare(L"Name", CIM_STRING)
        .Declare(L"IsSet", CIM_SINT32)
        .Key(L"Name");
}

// is_enabled as a number ("1" set, "0" not set); no value for anything else.
std::optional<std::int32_t> ParseIsEnabled(const std::optional<std::string>& text) {
    if (!text || text->empty() || text->size() > 9) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// A password instance before it is built: drivers may give several folders the role of the
// setup password, and any one of them that is enabled sets it.
struct PasswordInstance {
    std::wstring name;
    std::optional<std::int32_t> isSet;
};

void MergeIsSet(std::optional<std::int32_t>& merged, std::optional<std::int32_t> folder) {
    if (folder && (!merged || *merged == 0)) merged = folder;
}

HRESULT ProducePasswords(const WbemObjectBuilder& description,
                         const wmi_service::WbemRequest& request, WbemInstances& instances) {
    const std::optional<std::filesystem::path> device = VantrelFirmwareDevice();
    if (!device) return S_OK;
    // A password's name comes from its role file, so every role is read; is_enabled only where
    // the request shows it.
    std::vector<PasswordInstance> passwords;
    for (const BiosPasswordFacts& password : ReadBiosPasswords(*device, FileRequest())) {
        const std::wstring name = DecodeMachineText(password.InstanceName());
        if (!request.MayMatch(name)) continue;
        std::optional<std::int32_t> isSet;
        if (request.Wants(L"IsSet")) {
            isSet = ParseIsEnabled(
                ReadDeviceFile(PasswordFolder(*device, password.name) / "is_enabled"));
        }
        const bool setup = password.InstanceName() == kSetupPasswordName;
        auto same = std::find_if(passwords.begin(), passwords.end(),
                                 [&name](const PasswordInstance& p) { return p.name == name; });
        if (setup && same != passwords.end()) {
            MergeIsSet(same->isSet, isSet);
        } else {
            passwords.push_back({name, isSet});
        }
    }
    for (const PasswordInstance& password : passwords) {
        WbemObjectBuilder instance = description.Instance();
        instance.Set(L"Name", password.name);
        if (password.isSet) instance.Set(L"IsSet", *password.isSet);
        instances.push_back(instance.Build());
    }
    return S_OK;
}

ComPtr<IWbemClassObject> InSignature() {
    return WbemObjectBuilder::Parameters()
        .Declare(L"Name", CIM_STRING)
        .Declare(L"Value", CIM_STRING)
        .Declare(L"Password", CIM_STRING)
        .Build();
}

ComPtr<IWbemClassObject> OutSignature() {
    return WbemObjectBuilder::Parameters().Declare(L"Return", CIM_UINT32).Build();
}

WbemObjectBuilder InterfaceClass(ComPtr<IWbemClassObject> outSignature) {
    return WbemObjectBuilder::Class(kInterfaceClass)
        .Declare(L"InstanceName", CIM_STRING)
        .Declare(L"Active", CIM_BOOLEAN)
        .Declare(kPendingReboot, CIM_SINT32)
        .Key(L"InstanceName")
        .Method(kSetSettingMethod, InSignature(), std::move(outSignature));
}

// The device's attributes/pending_reboot: 1 when a changed setting waits for the next start.
// Windows' provider has no such property, so a reader must take its absence as "unknown". Read
// on the first Get: the instance that a method call is found through never needs it.
HRESULT ProduceInterface(const WbemObjectBuilder& description,
                         const wmi_service::WbemRequest& request, WbemInstances& instances) {
    WbemObjectBuilder instance = description.Instance();
    instance.Set(L"InstanceName", kInterfaceInstanceName).Set(L"Active", true);
    if (request.Wants(kPendingReboot)) {
        if (const std::optional<std::filesystem::path> device = VantrelFirmwareDevice()) {
            instance.SetDeferred(
                kPendingReboot, CIM_SINT32,
                [file = *device / "attributes" / "pending_reboot", state = DeviceState()] {
                    // After a write the file tells of another state than the instance's: the
                    // value it had is no longer known.
                    if (DeviceState() != state) return Variant::Null();
                    const std::optional<std::int32_t> pending =
                        ParseIsEnabled(ReadDeviceFile(file));
                    return pending ? Variant::Int32(*pending) : Variant::Null();
                });
        }
    }
    instances.push_back(instance.Build());
    return S_OK;
}

// A text argument of the call; no value when it is missing, NULL or not text.
std::optional<std::wstring> TextArgument(IWbemClassObject* inParams, const wchar_t* name) {
    Variant value;
    if (FAILED(inParams->Get(name, 0, value.put(), nullptr, nullptr))) return std::nullopt;
    if (value.Type() != VT_BSTR) return std::nullopt;
    return wmi_service::BstrText(V_BSTR(value.get()));
}

}  // namespace

VendorBiosServices::VendorBiosServices()
    : WbemServices(kVendorBiosNamespacePath), outSignature_(OutSignature()) {
    AddClass(wmi_service::MakeClassRow(SettingClass(), ProduceSettings));
    AddClass(wmi_service::MakeClassRow(PasswordClass(kPasswordStateClass), ProducePasswords));
    AddClass(wmi_service::MakeClassRow(PasswordClass(kPasswordClass), ProducePasswords));
    AddClass(wmi_service::MakeClassRow(InterfaceClass(outSignature_), ProduceInterface));
}

HRESULT VendorBiosServices::ExecMethod(const BSTR path, const BSTR method, LONG /*flags*/,
                                       IWbemContext* /*context*/, IWbemClassObject* inParams,
                                       IWbemClassObject** outParams, IWbemCallResult** result) {
    if (result) *result = nullptr;
    if (outParams) *outParams = nullptr;
    if (!path || !method) return Hr(WBEM_E_INVALID_PARAMETER);
    try {
        const std::wstring_view relative = wmi_service::StripNamespacePrefix(path);
        const std::wstring_view className = relative.substr(0, relative.find_first_of(L".="));
        if (className.size() != relative.size()) {
            ComPtr<IWbemClassObject> instance;
            const HRESULT hr = FindInstance(relative, instance);
            if (FAILED(hr)) return hr == Hr(WBEM_E_INVALID_CLASS) ? Hr(WBEM_E_NOT_FOUND) : hr;
        } else if (!FindClass(className)) {
            return Hr(WBEM_E_NOT_FOUND);
        }
        if (!EqualsIgnoreCase(className, kInterfaceClass) ||
            !EqualsIgnoreCase(wmi_service::BstrText(method), kSetSettingMethod)) {
            return Hr(WBEM_E_INVALID_METHOD);
        }
        if (!inParams) return Hr(WBEM_E_INVALID_METHOD_PARAMETERS);

        const std::optional<std::wstring> name = TextArgument(inParams, L"Name");
        const std::optional<std::wstring> value = TextArgument(inParams, L"Value");
        std::wstring passwordText = TextArgument(inParams, L"Password").value_or(L"");
        const SecretText password(passwordText);
        const SetSettingResult code = name && value
                                          ? WriteBiosSetting(*name, *value, password.text())
                                          : SetSettingResult::kInvalidArguments;

        ComPtr<IWbemClassObject> out;
        HRESULT hr = outSignature_->SpawnInstance(0, out.put());
        if (FAILED(hr)) return hr;
        // uint32 travels as VT_I4, as WMI delivers it.
        Variant returned = Variant::Int32(static_cast<std::int32_t>(code));
        hr = out->Put(L"Return", 0, returned.get(), 0);
        if (FAILED(hr)) return hr;
        if (outParams) *outParams = Deliver(std::move(out)).detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return Hr(WBEM_E_OUT_OF_MEMORY);
    }
}

HRESULT CreateVendorBiosServices(IWbemServices** services) {
    if (services && !VantrelFirmwareDevice()) {
        *services = nullptr;
        return Hr(WBEM_E_INVALID_NAMESPACE);
    }
    return wmi_service::CreateServices<VendorBiosServices>(services);
}

}  // namespace machine_providers
