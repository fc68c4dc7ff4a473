#include "win32/Win32UiServices.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>


namespace varnel::win32 {
namespace {

ui::DialogResult BoxResult(int answer, uint32_t style) {
  switch (answer) {
    case IDOK:
      return ui::DialogResult::OK;
    case IDCANCEL:
      return ui::DialogResult::Cancel;
    case IDYES:
      return ui::DialogResult::Yes;
    case IDNO:
      return ui::DialogResult::No;
    default:
      break;
  }
  // No box at all.
  return ui::mb::DismissedAnswer(style);
}

DWORD FileDialogFlags(uint32_t options) {
  // The current folder stays the program's whatever the user browses to.
  DWORD flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (options & ui::fd::kAllowMultiSelect) flags |= OFN_ALLOWMULTISELECT;
  if (options & ui::fd::kFileMustExist) flags |= OFN_FILEMUSTEXIST;
  if (options & ui::fd::kHideReadOnly) flags |= OFN_HIDEREADONLY;
  if (options & ui::fd::kOverwritePrompt) flags |= OFN_OVERWRITEPROMPT;
  if (options & ui::fd::kPathMustExist) flags |= OFN_PATHMUSTEXIST;
  return flags;
}

// Everything one file dialog needs to stay alive during its call.
struct FileDialogCall {
  FileDialogCall(const ui::FileDialogRequest& request, HWND owner, std::size_t bufferSize)
      : filter(ToFilterPairs(request.filter)),
        extension(ToDefaultExtension(request.defaultExtension)),
        buffer(std::max<std::size_t>(bufferSize, 2), '\0') {
    const std::size_t n = std::min(request.initialFileName.size(), buffer.size() - 1);
    std::memcpy(buffer.data(), request.initialFileName.data(), n);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    ofn.Flags = FileDialogFlags(request.options);
  }
  std::string filter;
  std::string extension;
  std::vector<char> buffer;
  OPENFILENAMEA ofn{};
};

}  // namespace

std::string ToFilterPairs(std::string_view filter) {
  std::string out;
  std::size_t start = 0;
  int fields = 0;
  while (start <= filter.size()) {
    const std::size_t bar = filter.find('|', start);
    const std::string_view part = filter.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
    if (part.empty() && fields % 2 == 0) break;  // the closing "||"
    out.append(part);
    out.push_back('\0');
    ++fields;
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  if (fields % 2 != 0) out.append("*.*").push_back('\0');  // a description without its pattern
  if (!out.empty()) out.push_back('\0');
  return out;
}

std::string ToDefaultExtension(std::string_view extension) {
  while (!extension.empty() && (extension.front() == '*' || extension.front() == '.')) extension.remove_prefix(1);
  return std::string(extension);
}

std::vector<std::string> SplitSelection(const char* buffer, std::size_t size) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < size && buffer[at] != '\0') {
    const std::size_t length = strnlen(buffer + at, size - at);
    parts.emplace_back(buffer + at, length);
    at += length + 1;
  }
  if (parts.size() <= 1) return parts;
  std::vector<std::string> files;
  std::string folder = parts.front();
  if (!folder.empty() && folder.back() != '\\') folder.push_back('\\');
  for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  return files;
}

Win32UiServices::~Win32UiServices() {
  SetWaitCursor(false);
}

HWND Win32UiServices::ActiveOwner() const {
  for (auto it = views_.rbegin(); it != views_.rend(); ++it)
    if ((*it)->Handle()) return (*it)->Handle();
  return nullptr;
}

ui::DialogResult Win32UiServices::MessageBox(std::string_view text, std::string_view caption, uint32_t style) {
  const std::string t(text);
  const std::string c(caption);
  const int answer = MessageBoxA(ActiveOwner(), t.c_str(), c.c_str(), style);
  return BoxResult(answer, style);
}

std::optional<std::vector<std::string>> Win32UiServices::OpenFileDialog(const ui::FileDialogRequest& request) {
  FileDialogCall call(request, ActiveOwner(), openBufferSize_);
  if (!GetOpenFileNameA(&call.ofn)) return std::nullopt;
  std::vector<std::string> files = SplitSelection(call.buffer.data(), call.buffer.size());
  if (files.empty()) return std::nullopt;
  return files;
}

std::optional<std::string> Win32UiServices::SaveFileDialog(const ui::FileDialogRequest& request) {
  FileDialogCall call(request, ActiveOwner(), 260);
  if (!GetSaveFileNameA(&call.ofn)) return std::nullopt;
  std::string path(call.buffer.data(), strnlen(call.buffer.data(), call.buffer.size()));
  if (path.empty()) return std::nullopt;
  return path;
}

ui::DialogResult Win32UiServices::RunModal(ui::Dialog& dialog) {
  DialogWindow view(dialog);
  if (configurator_) configurator_(dialog, view);
  const HWND owner = ActiveOwner();
  views_.push_back(&view);
  const ui::DialogResult result = view.RunModal(owner);
  views_.erase(std::find(views_.begin(), views_.end(), &view));
  return result;
}

void Win32UiServices::SetWaitCursor(bool on) {
  if (on == waitCursor_) return;
  waitCursor_ = on;
  if (on) {
    previousCursor_ = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  } else {
    SetCursor(previousCursor_ ? previousCursor_ : LoadCursorA(nullptr, IDC_ARROW));
  }
}

void Win32UiServices::CheckEnded() {
  const std::vector<DialogWindow*> open = views_;
  for (DialogWindow* view : open) view->CheckEnded();
}

}  // namespace varnel::win32
