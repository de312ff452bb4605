#include "base/secret_text.h"

void WipeBytes(void* data, std::size_t size) noexcept {
    // Volatile stores: a write to memory that is freed right after must still happen.
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

namespace {

template <typename Text>
void WipeAll(Text& text) noexcept {
    // The whole allocation, past the text's end too: a shorter text may have replaced a
    // longer one in the same buffer.
    text.resize(text.capacity());
    WipeBytes(text.data(), text.size() * sizeof(typename Text::value_type));
    text.clear();
}

}  // namespace

void WipeText(std::wstring& text) noexcept { WipeAll(text); }
void WipeText(std::string& text) noexcept { WipeAll(text); }

// Swapping moves a heap buffer without a copy; what stays behind (a short text's own buffer)
// is wiped.
SecretText::SecretText(std::wstring& text) {
    text_.swap(text);
    WipeText(text);
}

SecretText::SecretText(SecretText&& other) noexcept {
    text_.swap(other.text_);
    WipeText(other.text_);
}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        WipeText(text_);
        text_.swap(other.text_);
        WipeText(other.text_);
    }
    return *this;
}
