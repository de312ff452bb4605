// A connection to one WMI namespace with the enumerator and current result of its last query.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi/com_init_guard.h"
#include "wmi/wmi_object.h"

#include <string>

class WmiConnection {
  public:
    // Starts COM, sets the process security and connects; a failed connection is not reported
    // here but leaves services empty.
    explicit WmiConnection(const std::wstring& ns);
    WmiConnection(const WmiConnection&) = delete;
    WmiConnection& operator=(const WmiConnection&) = delete;

    // Connects (again) to a namespace; the constructor is its only caller.
    HRESULT Connect(const std::wstring& ns);
    // Runs a WQL query; 0 means current holds the first result, WBEM_S_FALSE no result.
    HRESULT RunQuery(const std::wstring& query);
    // Enumerates the instances of a class; 0 means current holds the first one.
    HRESULT SelectFirstInstance(const std::wstring& className);
    // True when current now holds the next result of the last query.
    bool NextResult();

    // Destroyed in reverse order: enumerator, current, services, path, and COM last.
    ComInitGuard guard;
    std::wstring namespacePath;
    ComPtr<IWbemServices> services;
    WmiObject current;
    ComPtr<IEnumWbemClassObject> enumerator;

  private:
    // Makes the enumerator's first object current.
    HRESULT FetchFirst();
};
