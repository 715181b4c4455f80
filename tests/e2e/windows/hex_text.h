/*
 * Bytes travel between the host driver and the Windows-side test programs
 * as hexadecimal text: a command line, a path or an environment block may
 * hold any byte (double-byte characters, quotes, line ends, zero bytes), and
 * hex keeps every one of them exact whatever the code page on either side.
 */
#ifndef E2E_HEX_TEXT_H
#define E2E_HEX_TEXT_H

#include <string>

inline std::string encode_hex(const void *data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    const unsigned char *bytes = (const unsigned char *)data;
    std::string text;
    for (size_t i = 0; i < size; i++) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

inline std::string encode_hex(const std::string &bytes)
{
    return encode_hex(bytes.data(), bytes.size());
}

inline int read_hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* False when the text is not whole pairs of hex digits. */
inline bool decode_hex(const std::string &text, std::string *bytes)
{
    bytes->clear();
    if (text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = read_hex_digit(text[i]), low = read_hex_digit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        *bytes += (char)(high << 4 | low);
    }
    return true;
}

#endif
