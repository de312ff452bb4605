// The BIOS setup password that an administrator supplies, and where it comes from: a file named
// on the command line, or (Linux) the systemd credential "cellkeeper-setup-password". The
// password itself never appears on the command line, in any output or in any record; only its
// source is ever named.
#pragma once

#include "app/run_options.h"
#include "base/secret_text.h"

#include <cstdint>
#include <string>
#include <string_view>

// The longest password taken, in characters.
inline constexpr std::size_t kMaxPasswordCharacters = 128;

struct PasswordSource {
    enum class Kind { kNone, kFile, kCredential };
    Kind kind = Kind::kNone;
    std::wstring path;  // the file, or the credential's file

    // "the file /etc/cellkeeper/setup-password", "the credential cellkeeper-setup-password".
    std::string Describe() const;
};

// The command line's file, else the credential where systemd provisioned one for this run, else
// none: without a source every run is as it was, a setup password refusing the machine.
PasswordSource FindPasswordSource(const RunOptions& options);

struct PasswordReading {
    SecretText password;
    // Why the source cannot be used, for a fatal line; empty when `password` holds it.
    std::string refusal;
};

// Reads the source's password. The file must be safe to trust (each platform's rules) and hold
// one line of text.
PasswordReading ReadSetupPassword(const PasswordSource& source);

// The password in a file's bytes: one line of UTF-8 (a byte order mark allowed) or of UTF-16
// with a byte order mark; the line end is dropped. Empty when the text is no such line (empty,
// longer than kMaxPasswordCharacters, holding a NUL or a second line, not valid text), with
// `refusal` set to why. Never says what the text was.
SecretText DecodePasswordText(std::string_view bytes, std::string& refusal);

// Each platform's own: the file's bytes, read only when the file is one that no one but the
// system's administrators can have written or read. Empty `refusal` on success; `bytes` is
// wiped by its owner.
void ReadPasswordFileBytes(const std::wstring& path, std::string& bytes, std::string& refusal);

// The Windows rule for the password file, on the facts read from it: empty when it may be
// trusted, else why not: a reparse point (it could lead anywhere), a folder, a file with more
// than one name, an owner other than SYSTEM, Administrators or the run's own account, or an
// access list that gives anyone else any right at all (`othersHaveAccess`). Pure, so that both
// builds test it: Wine enforces none of it.
std::string PasswordFileRefusal(std::uint32_t attributes, std::uint32_t links, bool ownerTrusted,
                                bool othersHaveAccess);

// Each platform's own: the file of the systemd credential provisioned for this run; empty where
// there is none.
std::wstring PasswordCredentialFile();
