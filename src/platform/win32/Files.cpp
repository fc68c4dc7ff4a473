#include "platform/Files.h"
#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <string>

namespace varnel::platform {

const char kPathSeparator = '\\';

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

DWORD Attributes(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

}  // namespace

std::string ReserveUniqueFileName(const std::string& folder, std::string_view prefix) {
  // GetTempFileNameA makes "<prefix>XXXX.tmp" and creates it, empty.
  char path[MAX_PATH + 1] = {};
  const std::string head(prefix.substr(0, 3));
  if (::GetTempFileNameA(folder.c_str(), head.c_str(), 0, path) == 0) return {};
  return path;
}

bool RenameFile(const std::string& from, const std::string& to, bool replaceExisting) {
  DWORD flags = MOVEFILE_WRITE_THROUGH;
  if (replaceExisting) flags |= MOVEFILE_REPLACE_EXISTING;
  return ::MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  // Copied beside the target first, so that a copy that fails part-way never
  // replaces it; then moved over it in one step.
  std::string folder(FolderOf(to));
  if (folder.empty()) folder = ".";
  const std::string tmp = ReserveUniqueFileName(folder, "cpy");
  if (tmp.empty()) return false;
  if (::CopyFileA(from.c_str(), tmp.c_str(), FALSE) && RenameFile(tmp, to, true)) return true;
  ::DeleteFileA(tmp.c_str());
  return false;
}

bool DeleteFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != 0;
}

bool FileExists(const std::string& path) {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool FileReadable(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

bool RegularFileReadable(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool regular = ::GetFileType(h) == FILE_TYPE_DISK;
  ::CloseHandle(h);
  return regular;
}

bool FolderExists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  std::string_view parent = FolderOf(path);
  if (!parent.empty() && parent.size() < path.size() && !FolderExists(std::string(parent)))
    CreateFolders(std::string(parent));
  ::CreateDirectoryA(path.c_str(), nullptr);
  return FolderExists(path);
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
  const DWORD existing = Attributes(path);
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) return false;
  std::string folder(FolderOf(path));
  if (folder.empty()) folder = ".";
  const std::string tmp = ReserveUniqueFileName(folder, "ini");
  if (tmp.empty()) return false;
  HANDLE h = ::CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = h != INVALID_HANDLE_VALUE;
  std::size_t done = 0;
  while (ok && done < contents.size()) {
    DWORD n = 0;
    const auto ask = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 30));
    ok = ::WriteFile(h, contents.data() + done, ask, &n, nullptr) && n > 0;
    done += n;
  }
  if (h != INVALID_HANDLE_VALUE) ok = ::CloseHandle(h) && ok;
  if (ok && RenameFile(tmp, path, true)) return true;
  ::DeleteFileA(tmp.c_str());
  return false;
}

// Windows programs of this kind do not follow links themselves.
std::string ResolvedPath(const std::string& path) {
  return path;
}

std::string ExecutableFolder() {
  char buf[MAX_PATH * 4];
  const DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return ".";
  return std::string(FolderOf(std::string_view(buf, n)));
}

std::string DefaultDataFolder(std::string_view kind) {
  return "c:\\orvanta\\" + std::string(kind);
}

std::string SystemErrorText(DWORD error) {
  char text[256] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                   sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  return out.empty() ? "system error " + std::to_string(error) : out;
}

std::string FolderWriteProblem(const std::string& folder) {
  // Whether a file can be made is the only sure test under access control lists.
  char path[MAX_PATH + 1] = {};
  if (::GetTempFileNameA(folder.c_str(), "vnl", 0, path) == 0) return SystemErrorText(::GetLastError());
  ::DeleteFileA(path);
  return {};
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32) return false;
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

bool IsReservedFileName(std::string_view name) {
  // The part before the first dot, without the spaces that end it, is what
  // the system compares with its device names.
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  if (base.rfind("COM", 0) != 0 && base.rfind("LPT", 0) != 0) return false;
  const std::string_view number = std::string_view(base).substr(3);
  if (number.size() == 1) return number[0] >= '0' && number[0] <= '9';
  return number == "\xc2\xb9" || number == "\xc2\xb2" || number == "\xc2\xb3";  // superscript 1, 2, 3
}

bool SameFileName(std::string_view a, std::string_view b) {
  auto wide = [](std::string_view text) {
    std::wstring out(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                        static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
  };
  if (a == b) return true;
  const std::wstring wa = wide(a), wb = wide(b);
  if (wa.empty() || wb.empty()) return false;
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()), TRUE) ==
         CSTR_EQUAL;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || !IsSeparator(path.back())) path += kPathSeparator;
  return path + std::string(name);
}

std::string_view FolderOf(std::string_view path) {
  std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return {};
  // "c:\" and "\" keep their separator: they are folders of their own.
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string_view FileNameOf(std::string_view path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::string> text;
  if (::GetFileType(h) == FILE_TYPE_DISK) {
    text.emplace();
    char chunk[65536];
    for (;;) {
      DWORD n = 0;
      if (!::ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
        text.reset();
        break;
      }
      if (n == 0) break;
      text->append(chunk, n);
    }
  }
  ::CloseHandle(h);
  return text;
}

}  // namespace varnel::platform
