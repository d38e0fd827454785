// On Windows the four calls are advapi32's; only the ANSI decoding of text values is ours.
#ifdef _WIN32

#include "RegistryApi.h"

std::wstring DecodeAnsi(const char* bytes, std::size_t count) {
    if (count == 0)
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), text.data(), length);
    return text;
}

#endif
