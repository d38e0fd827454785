#include "TestRegistry.h"

#include "RegistryStandIn.h"

namespace testreg {

const char* BackendName() {
    return "in-memory stand-in";
}
void CreateKey(const std::string& path) {
    standin::CreateKey(HKEY_CURRENT_USER, path);
}
void DeleteTree(const std::string& path) {
    standin::DeleteKey(HKEY_CURRENT_USER, path);
}
void DeleteKey(const std::string& path) {
    standin::DeleteEmptyKey(HKEY_CURRENT_USER, path);
}
void SetRaw(const std::string& path, const std::string& name, std::uint32_t type, std::vector<std::uint8_t> bytes) {
    standin::SetValue(HKEY_CURRENT_USER, path, name, type, std::move(bytes));
}
// Every program on the stand-in shares one code page: the bytes are kept as they are.
void SetAnsiText(const std::string& path, const std::string& name, const std::string& bytes, unsigned) {
    SetText(path, name, bytes);
}
bool KeyExists(const std::string& path) {
    return standin::KeyExists(HKEY_CURRENT_USER, path);
}
std::optional<Raw> Read(const std::string& path, const std::string& name) {
    auto value = standin::GetValue(HKEY_CURRENT_USER, path, name);
    if (!value)
        return std::nullopt;
    return Raw{value->type, value->bytes};
}
std::string ProcessTestRoot() {
    return "Software\\QXLauncher Tests\\native";
}

} // namespace testreg
