// A secret (a BIOS password) held as text: wiped from memory when it goes, never copied by
// accident, and never shown. Every copy the tool makes on its way to the firmware is wiped too
// (WipeText, WipeBytes).
#pragma once

#include <cstddef>
#include <string>

// Overwrites `size` bytes at `data` with zeros in a way the compiler may not drop.
void WipeBytes(void* data, std::size_t size) noexcept;

// Overwrites all that a string has allocated, then empties it.
void WipeText(std::wstring& text) noexcept;
void WipeText(std::string& text) noexcept;

class SecretText {
  public:
    SecretText() = default;
    // Takes the text over; what `text` held is wiped.
    explicit SecretText(std::wstring& text);
    ~SecretText() { WipeText(text_); }
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;

    const std::wstring& text() const { return text_; }
    bool empty() const { return text_.empty(); }

  private:
    std::wstring text_;
};
