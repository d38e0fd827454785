// In-memory registry for hosts without one. It answers the four calls the way Windows and Wine do; the store tests
// run against both this and the real registry, so any difference shows up there.
#ifndef _WIN32

#include "RegistryStandIn.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

namespace standin {
namespace {

// Registry names compare without regard to letter case.
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    }
};

struct Node {
    std::map<std::string, std::shared_ptr<Node>, NoCase> subkeys;
    std::map<std::string, StoredValue, NoCase> values; // "" is the key's default value
};

struct OpenKey {
    std::shared_ptr<Node> node;
    std::string path;
};

struct Tree {
    std::map<std::intptr_t, std::shared_ptr<Node>> roots;
    std::map<std::uintptr_t, OpenKey> handles;
    std::uintptr_t nextHandle = 0x1000;
    std::vector<Call> journal;
};

Tree& State() {
    static Tree tree;
    return tree;
}

constexpr std::size_t kMaxComponent = 255;
constexpr std::size_t kMaxValueName = 16383;

bool IsPredefined(HKEY key) {
    auto n = static_cast<std::uint32_t>(reinterpret_cast<std::intptr_t>(key));
    return reinterpret_cast<std::intptr_t>(key) == static_cast<std::int32_t>(n) && n >= 0x80000000u && n <= 0x80000006u;
}

// The node and path a handle stands for; false for a handle that is not open.
bool Resolve(HKEY key, OpenKey& out) {
    Tree& t = State();
    if (IsPredefined(key)) {
        auto& root = t.roots[reinterpret_cast<std::intptr_t>(key)];
        if (!root)
            root = std::make_shared<Node>();
        out = {root, ""};
        return true;
    }
    auto it = t.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == t.handles.end())
        return false;
    out = it->second;
    return true;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + "\\") {
        if (c != '\\') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    return parts;
}

std::string JoinPath(const std::string& base, const std::vector<std::string>& parts) {
    std::string path = base;
    for (const auto& p : parts)
        path += (path.empty() ? "" : "\\") + p;
    return path;
}

std::shared_ptr<Node> Find(const std::shared_ptr<Node>& from, const std::vector<std::string>& parts) {
    auto node = from;
    for (const auto& p : parts) {
        auto it = node->subkeys.find(p);
        if (it == node->subkeys.end())
            return nullptr;
        node = it->second;
    }
    return node;
}

std::shared_ptr<Node> FindOrCreate(HKEY root, const std::string& path) {
    OpenKey base;
    Resolve(root, base);
    auto node = base.node;
    for (const auto& p : SplitPath(path)) {
        auto& child = node->subkeys[p];
        if (!child)
            child = std::make_shared<Node>();
        node = child;
    }
    return node;
}

LONG Record(Call::Kind kind, const std::string& path, const char* name, LONG result) {
    State().journal.push_back({kind, path, name ? name : "", result});
    return result;
}

} // namespace

void Reset() {
    State() = Tree{};
}

void CreateKey(HKEY root, const std::string& path) {
    FindOrCreate(root, path);
}

void DeleteEmptyKey(HKEY root, const std::string& path) {
    OpenKey base;
    if (!Resolve(root, base))
        return;
    auto node = Find(base.node, SplitPath(path));
    if (node && node->subkeys.empty())
        DeleteKey(root, path);
}

void DeleteKey(HKEY root, const std::string& path) {
    auto parts = SplitPath(path);
    if (parts.empty())
        return;
    std::string last = parts.back();
    parts.pop_back();
    OpenKey base;
    if (!Resolve(root, base))
        return;
    if (auto parent = Find(base.node, parts))
        parent->subkeys.erase(last);
}

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, std::vector<BYTE> bytes) {
    FindOrCreate(root, path)->values[name] = StoredValue{type, std::move(bytes)};
}

bool KeyExists(HKEY root, const std::string& path) {
    OpenKey base;
    return Resolve(root, base) && Find(base.node, SplitPath(path)) != nullptr;
}

std::optional<StoredValue> GetValue(HKEY root, const std::string& path, const std::string& name) {
    OpenKey base;
    if (!Resolve(root, base))
        return std::nullopt;
    auto node = Find(base.node, SplitPath(path));
    if (!node)
        return std::nullopt;
    auto it = node->values.find(name);
    if (it == node->values.end())
        return std::nullopt;
    return it->second;
}

int OpenHandleCount() {
    return static_cast<int>(State().handles.size());
}

const std::vector<Call>& Journal() {
    return State().journal;
}

void ClearJournal() {
    State().journal.clear();
}

} // namespace standin

using namespace standin;

LONG RegOpenKeyA(HKEY root, const char* subKey, HKEY* result) {
    std::string path = subKey ? subKey : "";
    if (!result)
        return Record(Call::Open, path, nullptr, ERROR_INVALID_PARAMETER);
    OpenKey base;
    if (!Resolve(root, base)) {
        *result = nullptr;
        return Record(Call::Open, path, nullptr, ERROR_INVALID_HANDLE);
    }
    // No sub-key hands back the root itself; nothing new is opened.
    if (path.empty()) {
        *result = root;
        return Record(Call::Open, base.path, nullptr, ERROR_SUCCESS);
    }
    if (path[0] == '\\') {
        *result = nullptr;
        return Record(Call::Open, path, nullptr, ERROR_BAD_PATHNAME);
    }
    auto parts = SplitPath(path);
    std::string full = JoinPath(base.path, parts);
    for (const auto& p : parts) {
        if (p.size() > kMaxComponent) {
            *result = nullptr;
            return Record(Call::Open, full, nullptr, ERROR_INVALID_PARAMETER);
        }
    }
    auto node = Find(base.node, parts);
    if (!node) {
        *result = nullptr;
        return Record(Call::Open, full, nullptr, ERROR_FILE_NOT_FOUND);
    }
    Tree& t = State();
    std::uintptr_t handle = t.nextHandle;
    t.nextHandle += 4;
    t.handles[handle] = {node, full};
    *result = reinterpret_cast<HKEY>(handle);
    return Record(Call::Open, full, nullptr, ERROR_SUCCESS);
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
    OpenKey open;
    if (!Resolve(key, open))
        return Record(Call::Query, "", valueName, ERROR_INVALID_HANDLE);
    if (reserved || (data && !size))
        return Record(Call::Query, open.path, valueName, ERROR_INVALID_PARAMETER);
    auto it = open.node->values.find(valueName ? valueName : "");
    if (it == open.node->values.end()) {
        if (!data && size)
            *size = 0;
        return Record(Call::Query, open.path, valueName, ERROR_FILE_NOT_FOUND);
    }
    const StoredValue& value = it->second;
    DWORD length = static_cast<DWORD>(value.bytes.size());
    if (type)
        *type = value.type;
    LONG result = ERROR_SUCCESS;
    if (data) {
        // Too small a buffer is left untouched; the caller learns the size it needs.
        if (*size < length)
            result = ERROR_MORE_DATA;
        else if (length)
            std::memcpy(data, value.bytes.data(), length);
    }
    if (size)
        *size = length;
    return Record(Call::Query, open.path, valueName, result);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD size) {
    OpenKey open;
    if (!Resolve(key, open))
        return Record(Call::Set, "", valueName, ERROR_INVALID_HANDLE);
    if ((!data && size) || (valueName && std::strlen(valueName) > kMaxValueName))
        return Record(Call::Set, open.path, valueName, ERROR_INVALID_PARAMETER);
    // Text whose terminating NUL was left out of the size gets it counted in, as Windows does. Like Windows, this
    // looks at the byte just past the given size, so callers pass text with its terminator in the buffer.
    if (size && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && data[size - 1] && !data[size])
        ++size;
    std::vector<BYTE> bytes(data, data + size);
    // A name that differs only in case replaces the existing value and keeps its spelling.
    open.node->values[valueName ? valueName : ""] = StoredValue{type, std::move(bytes)};
    return Record(Call::Set, open.path, valueName, ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefined(key))
        return Record(Call::Close, "", nullptr, ERROR_SUCCESS);
    Tree& t = State();
    auto it = t.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == t.handles.end())
        return Record(Call::Close, "", nullptr, ERROR_INVALID_HANDLE);
    std::string path = it->second.path;
    t.handles.erase(it);
    return Record(Call::Close, path, nullptr, ERROR_SUCCESS);
}

// The stand-in's ANSI code page is ISO-8859-1: every byte is the code point of the same number.
std::wstring DecodeAnsi(const char* bytes, std::size_t count) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

#endif
