#include "wmi_service/wbem_object_builder.h"

#include <utility>

namespace wmi_service {

namespace {

constexpr std::wstring_view kParametersClass = L"__PARAMETERS";

void SetProperty(WbemObjectData& data, std::wstring_view name, Variant value, CIMTYPE type) {
    if (WbemProperty* property = data.FindProperty(name)) {
        property->type = type;
        property->value = std::move(value);
        property->deferred = nullptr;
        return;
    }
    data.properties.push_back(WbemProperty{std::wstring(name), type, std::move(value), {}});
}

}  // namespace

WbemObjectBuilder::WbemObjectBuilder(std::wstring_view className) { data_.className = className; }

WbemObjectBuilder WbemObjectBuilder::Class(std::wstring_view className) {
    WbemObjectBuilder builder(className);
    builder.data_.isClass = true;
    return builder;
}

WbemObjectBuilder WbemObjectBuilder::Parameters() { return Class(kParametersClass); }

WbemObjectBuilder& WbemObjectBuilder::Declare(std::wstring_view name, CIMTYPE type) {
    SetProperty(data_, name, Variant::Null(), type);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name, std::wstring_view text) {
    SetProperty(data_, name, Variant::String(text), CIM_STRING);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name, const wchar_t* text) {
    return Set(name, std::wstring_view(text));
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name, std::int32_t value) {
    SetProperty(data_, name, Variant::Int32(value), CIM_SINT32);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name, bool value) {
    SetProperty(data_, name, Variant::Bool(value), CIM_BOOLEAN);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name,
                                          const std::vector<std::wstring>& items) {
    SetProperty(data_, name, Variant::Strings(items), CIM_STRING | CIM_FLAG_ARRAY);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name,
                                          const std::vector<std::int32_t>& items) {
    SetProperty(data_, name, Variant::Int32s(items), CIM_SINT32 | CIM_FLAG_ARRAY);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Set(std::wstring_view name, Variant value, CIMTYPE type) {
    SetProperty(data_, name, std::move(value), type);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::SetDeferred(std::wstring_view name, CIMTYPE type,
                                                  std::function<Variant()> produce) {
    SetProperty(data_, name, Variant::Null(), type);
    data_.FindProperty(name)->deferred = std::move(produce);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Key(std::wstring_view name) {
    data_.keys.emplace_back(name);
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Method(std::wstring_view name, WbemSignature inSignature,
                                             WbemSignature outSignature) {
    data_.methods.push_back(WbemMethod{std::wstring(name), std::move(inSignature.object),
                                       std::move(outSignature.object)});
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Namespace(std::wstring_view nameSpace) {
    data_.nameSpace = nameSpace;
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Server(std::wstring_view server) {
    data_.server = server;
    return *this;
}

WbemObjectBuilder& WbemObjectBuilder::Path(std::wstring_view path) {
    data_.path = std::wstring(path);
    return *this;
}

WbemObjectBuilder WbemObjectBuilder::Instance() const {
    WbemObjectBuilder instance = *this;
    instance.data_.isClass = false;
    instance.data_.path.reset();
    return instance;
}

ComPtr<IWbemClassObject> WbemObjectBuilder::Build() const { return MakeWbemObject(data_); }

}  // namespace wmi_service
