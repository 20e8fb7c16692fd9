#include "ui/win32/FileDialog.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h: the common dialogs.
#include <commdlg.h>

#include <vector>

#include "app/NativeFile.h"
#include "ui/win32/Window.h"

namespace {

std::optional<std::string> run(const Window* owner, const std::string& title,
                               const std::string& startFolder, const std::string& proposal,
                               bool save) {
  // Room for a long path; the proposal is the starting name.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring start = NativeFile::wide(proposal);
  std::copy(start.begin(), start.begin() + std::min(start.size(), file.size() - 1), file.begin());
  std::wstring folder = NativeFile::wide(startFolder);
  for (wchar_t& c : folder) {
    c = c == L'/' ? L'\\' : c;
  }
  const std::wstring caption = NativeFile::wide(title);
  static const wchar_t kFilter[] = L"EDL files (*.edl)\0*.edl\0All files (*.*)\0*.*\0";

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner != nullptr ? owner->hwnd() : nullptr;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 2;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = caption.c_str();
  // The working folder stays where it is: the settings, the log and Script.txt live there.
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) {
    return std::nullopt;
  }
  return NativeFile::utf8(file.data());
}

}  // namespace

std::optional<std::string> FileDialog::open(const Window* owner, const std::string& title,
                                            const std::string& startFolder) {
  return run(owner, title, startFolder, "", false);
}

std::optional<std::string> FileDialog::save(const Window* owner, const std::string& title,
                                            const std::string& startFolder,
                                            const std::string& proposal) {
  return run(owner, title, startFolder, proposal, true);
}
