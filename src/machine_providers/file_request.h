// What a caller of the machine readers needs, as the names of the files behind it: every read of
// a firmware-attributes file makes the driver ask the firmware, and each sysfs read costs, so a
// reader reads only the files it is asked for and leaves the others without value. The one way
// to ask for "only what the caller needs" in the providers: FileRequest{"type", "current_value"},
// FileRequest::All(), or FileRequest() for nothing beyond what every answer needs.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace machine_providers {

class FileRequest {
  public:
    FileRequest() = default;
    FileRequest(std::initializer_list<std::string_view> files)
        : files_(files.begin(), files.end()) {}

    static FileRequest All() {
        FileRequest request;
        request.all_ = true;
        return request;
    }

    FileRequest& Add(const FileRequest& other) {
        all_ = all_ || other.all_;
        files_.insert(files_.end(), other.files_.begin(), other.files_.end());
        return *this;
    }

    bool Wants(std::string_view file) const {
        return all_ || std::find(files_.begin(), files_.end(), file) != files_.end();
    }

  private:
    bool all_ = false;
    std::vector<std::string> files_;
};

}  // namespace machine_providers
