#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace base {

// The text of a value or of a dictionary key in 16 bytes: up to 15 bytes inside the object,
// longer texts in one heap block of exactly their size. Reads like a constant std::string
// (c_str, size, comparisons, conversion to std::string and std::string_view), so code that
// reads values need not know the difference; JSON answers hold millions of these.
class String {
public:
    static constexpr size_t kInlineCapacity = 15;

    String() noexcept { setEmpty(); }
    String(const char* text) : String(std::string_view(text)) {}
    explicit String(std::string_view text) { assign(text.data(), text.size()); }
    explicit String(const std::string& text) : String(std::string_view(text)) {}
    String(const String& other) { assign(other.data(), other.size()); }
    String(String&& other) noexcept
    {
        std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
        other.setEmpty();
    }
    String& operator=(const String& other)
    {
        if (this != &other) {
            String copy(other);
            swap(copy);
        }
        return *this;
    }
    String& operator=(String&& other) noexcept
    {
        if (this != &other) {
            release();
            std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
            other.setEmpty();
        }
        return *this;
    }
    ~String() { release(); }

    void swap(String& other) noexcept
    {
        unsigned char tmp[sizeof m_bytes];
        std::memcpy(tmp, m_bytes, sizeof m_bytes);
        std::memcpy(m_bytes, other.m_bytes, sizeof m_bytes);
        std::memcpy(other.m_bytes, tmp, sizeof m_bytes);
    }

    size_t size() const noexcept
    {
        if (isHeap()) {
            uint32_t n;
            std::memcpy(&n, m_bytes + sizeof(char*), sizeof n);
            return n;
        }
        return kInlineCapacity - m_bytes[kInlineCapacity];
    }
    size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return size() == 0; }
    const char* data() const noexcept
    {
        if (isHeap()) {
            const char* p;
            std::memcpy(&p, m_bytes, sizeof p);
            return p;
        }
        return reinterpret_cast<const char*>(m_bytes);
    }
    const char* c_str() const noexcept { return data(); }
    const char* begin() const noexcept { return data(); }
    const char* end() const noexcept { return data() + size(); }
    char operator[](size_t i) const noexcept { return data()[i]; }
    char front() const noexcept { return data()[0]; }
    char back() const noexcept { return data()[size() - 1]; }

    std::string_view view() const noexcept { return {data(), size()}; }
    std::string str() const { return std::string(data(), size()); }
    operator std::string_view() const noexcept { return view(); }
    operator std::string() const { return str(); }

    size_t find(std::string_view s, size_t pos = 0) const noexcept { return view().find(s, pos); }
    size_t find(char c, size_t pos = 0) const noexcept { return view().find(c, pos); }
    size_t rfind(char c, size_t pos = std::string_view::npos) const noexcept { return view().rfind(c, pos); }
    std::string substr(size_t pos, size_t n = std::string::npos) const { return std::string(view().substr(pos, n)); }
    int compare(std::string_view s) const noexcept { return view().compare(s); }
    bool starts_with(std::string_view s) const noexcept { return view().starts_with(s); }
    bool ends_with(std::string_view s) const noexcept { return view().ends_with(s); }

    friend bool operator==(const String& a, const String& b) noexcept
    {
        // Inline texts are kept zero-padded, and only texts longer than the inline room go to
        // the heap: equal bytes mean equal texts, and an inline text equals no other form.
        uint64_t x[2], y[2];
        std::memcpy(x, a.m_bytes, sizeof x);
        std::memcpy(y, b.m_bytes, sizeof y);
        if (x[0] == y[0] && x[1] == y[1])
            return true;
        if (!a.isHeap() || !b.isHeap())
            return false;
        size_t n = a.size();
        return n == b.size() && std::memcmp(a.data(), b.data(), n) == 0;
    }
    friend bool operator==(const String& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const String& a, const std::string& b) noexcept { return a.view() == std::string_view(b); }
    friend bool operator==(const String& a, const char* b) noexcept { return a.view() == std::string_view(b); }
    friend bool operator<(const String& a, const String& b) noexcept { return a.view() < b.view(); }
    friend std::string operator+(const String& a, std::string_view b) { return a.str().append(b); }
    friend std::string operator+(const String& a, const char* b) { return a.str().append(b); }
    friend std::string operator+(const String& a, const std::string& b) { return a.str().append(b); }
    friend std::string operator+(std::string_view a, const String& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const char* a, const String& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const std::string& a, const String& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(char a, const String& b) { return std::string(1, a).append(b.view()); }
    friend std::string operator+(const String& a, char b) { return a.str() + b; }

private:
    // Inline: the text, then a zero, and in the last byte 15 minus the size (so a text of 15
    // bytes is ended by that byte). Heap: the pointer, the 32-bit size, and kHeap last, or
    // kPooledHeap when the block was carved from a BlockPool.
    static constexpr unsigned char kHeap = 0xFF;
    static constexpr unsigned char kPooledHeap = 0xFE;

    bool isHeap() const noexcept { return m_bytes[kInlineCapacity] >= kPooledHeap; }
    void setEmpty() noexcept
    {
        std::memset(m_bytes, 0, sizeof m_bytes);
        m_bytes[kInlineCapacity] = kInlineCapacity;
    }
    void assign(const char* text, size_t n);
    void release() noexcept
    {
        if (isHeap())
            releaseHeap();
    }
    void releaseHeap() noexcept;

    alignas(8) unsigned char m_bytes[16];
};

std::ostream& operator<<(std::ostream& out, const String& s);

} // namespace base

template<>
struct std::hash<base::String> {
    size_t operator()(const base::String& s) const noexcept { return std::hash<std::string_view>()(s.view()); }
};
