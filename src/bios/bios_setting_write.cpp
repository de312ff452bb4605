#include "base/secret_text.h"
#include "bios/bios_config_client.h"
#include "bios/named_texts.h"
#include "platform/owners.h"
#include "platform/wbem_status.h"

#include <utility>

namespace {

void RaiseIfNotZero(HRESULT hr) {
    if (hr != S_OK) _com_issue_error(hr);
}

// A method without input arguments cannot take the setting; S_FALSE says so.
void RaiseIfNoArguments(const WmiObject& inParams) {
    if (inParams.Empty()) _com_issue_error(S_FALSE);
}

}  // namespace

std::uint32_t BiosConfigClient::SetBiosSetting(const std::wstring& password) {
    if (!services) _com_issue_error(Hr(WBEM_E_CONNECTION_FAILED));
    RaiseIfNotZero(PrepareMethodCall());
    // The same check before every argument, though nothing in between can empty inParams: each
    // is a step of the fixed sequence the callers rely on, and a method without input arguments
    // must raise S_FALSE where PutArgument alone would answer WBEM_E_INVALID_OBJECT.
    RaiseIfNoArguments(inParams);
    RaiseIfNotZero(PutArgument(kNameArgument, kChargingPolicySetting));
    RaiseIfNoArguments(inParams);
    RaiseIfNotZero(PutArgument(kValueProperty, kValueAfterPatch));
    std::wstring encodedText = EncodePassword(password);
    const SecretText encoded(encodedText);
    RaiseIfNoArguments(inParams);
    RaiseIfNotZero(PutArgument(kPasswordArgument, encoded.text(), /*secret=*/true));
    std::wstring path;
    RaiseIfNotZero(FindInterfacePath(path));
    const HRESULT executed = ExecuteMethod(path);
    // The arguments' object keeps a copy of what it was given: a password goes from it as soon
    // as the method has run.
    if (!password.empty()) (void)PutArgument(kPasswordArgument, std::wstring());
    RaiseIfNotZero(executed);
    if (outParams.Empty()) _com_issue_error(S_FALSE);
    std::uint32_t code = 0;
    RaiseIfNotZero(ReadReturnCode(code));
    return code;
}

HRESULT BiosConfigClient::PrepareMethodCall() {
    if (!services) return Hr(WBEM_E_INITIALIZATION_FAILURE);
    if (kSettingsInterfaceClass.empty() || kSetSettingMethod.empty()) {
        return Hr(WBEM_E_INVALID_PARAMETER);
    }
    inParams.reset();
    methodStatus = S_FALSE;

    ComPtr<IWbemClassObject> classObject;
    const _bstr_t classPath(kSettingsInterfaceClass.c_str());
    methodStatus = services->GetObject(classPath, /*lFlags=*/0, /*pCtx=*/nullptr, classObject.put(),
                                       /*ppCallResult=*/nullptr);
    if (FAILED(methodStatus)) return methodStatus;
    methodClassName = kSettingsInterfaceClass;
    methodName = kSetSettingMethod;

    ComPtr<IWbemClassObject> inSignature;
    methodStatus = classObject->GetMethod(methodName.c_str(), /*lFlags=*/0, inSignature.put(),
                                          /*ppOutSignature=*/nullptr);
    if (FAILED(methodStatus)) return methodStatus;

    // A method without input arguments has no signature; inParams then stays empty.
    HRESULT hr = S_OK;
    if (inSignature) hr = inSignature->SpawnInstance(/*lFlags=*/0, inParams.put());
    methodStatus = hr;
    return hr;
}

HRESULT BiosConfigClient::PutArgument(const std::wstring& name, const std::wstring& text,
                                      bool secret) {
    if (inParams.Empty()) return Hr(WBEM_E_INVALID_OBJECT);
    UniqueBstr copy(SysAllocString(text.c_str()));
    if (!copy) _com_issue_error(E_OUTOFMEMORY);
    UniqueVariant value(std::move(copy));
    // Type 0: the argument keeps the type its signature declares.
    const HRESULT hr = inParams.object->Put(name.c_str(), /*lFlags=*/0, value.get(), /*Type=*/0);
    if (secret) {
        const BSTR held = value.get()->bstrVal;
        WipeBytes(held, SysStringLen(held) * sizeof(OLECHAR));
    }
    return hr;
}

HRESULT BiosConfigClient::FindInterfacePath(std::wstring& path) {
    if (!services) return Hr(WBEM_E_INITIALIZATION_FAILURE);
    const HRESULT hr = SelectFirstInstance(methodClassName);
    if (hr != S_OK) return hr;  // WBEM_S_FALSE when the class has no instance
    return current.GetString(kPathProperty, path);
}

HRESULT BiosConfigClient::ExecuteMethod(const std::wstring& path) {
    if (methodStatus != S_OK) return Hr(WBEM_E_FAILED);
    if (!services) return Hr(WBEM_E_INITIALIZATION_FAILURE);
    outParams.reset();
    // Without an instance path the method is called on the class itself.
    const _bstr_t objectPath(path.empty() ? methodClassName.c_str() : path.c_str());
    const _bstr_t method(methodName.c_str());
    return services->ExecMethod(objectPath, method, /*lFlags=*/0, /*pCtx=*/nullptr, inParams.get(),
                                outParams.put(), /*ppCallResult=*/nullptr);
}

HRESULT BiosConfigClient::ReadReturnCode(std::uint32_t& code) {
    if (outParams.Empty()) return Hr(WBEM_E_INVALID_OBJECT);
    UniqueVariant value;
    HRESULT hr = outParams.object->Get(kReturnProperty.c_str(), /*lFlags=*/0, value.get(),
                                       /*pType=*/nullptr, /*plFlavor=*/nullptr);
    if (FAILED(hr)) return hr;
    // An unsigned 32-bit CIM value usually arrives as VT_I4; a NULL one fails to convert.
    if (value.Type() != VT_UINT) {
        hr = VariantChangeType(value.get(), value.get(), /*wFlags=*/0, VT_UINT);
        if (FAILED(hr)) return hr;
    }
    code = V_UINT(value.get());
    return S_OK;
}
