// Pictures of the native window for the README: only when
// VARNEL_SCREENSHOT_DIR names a folder, and only on a real display (Xvfb),
// never with the null graphics driver of the other tests.
// scripts/windows-screenshots.sh runs it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "MainWindowRig.h"
#include "app/LabelDialog.h"
#include "app/MainWindowLayout.h"
#include "calibration/CalibrationOptionsDialog.h"

namespace varnel::test {
namespace {

// A part of the screen as a 24-bit BMP file.
void Capture(const RECT& r, const std::string& path) {
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  const int stride = (w * 3 + 3) & ~3;
  std::string pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), '\0');
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  EXPECT_TRUE(out.good()) << path;
}

// The window as the screen shows it, frame included.
void Capture(HWND hwnd, const std::string& path) {
  RECT r;
  GetWindowRect(hwnd, &r);
  Capture(r, path);
}

TEST(Screenshot, EveryWindowOfTheProgram) {
  const char* folder = std::getenv("VARNEL_SCREENSHOT_DIR");
  if (!folder) GTEST_SKIP() << "VARNEL_SCREENSHOT_DIR not set";
  const std::string dir = folder;
  auto shot = [&](HWND hwnd, const char* name) {
    UpdateWindow(hwnd);
    Capture(hwnd, dir + "\\" + name + ".bmp");
  };
  MainWindowRig rig;
  // A second board with a sound card's long name, for the device list's picture.
  WriteFile(rig.dir.File("olsim.ini"), "[Boards]\nCount=2\n[Board1]\nName=USB Audio CODEC: USB Audio (hw:CODEC,0)\n");
  const GridRow& row0 = kGridRows[0];
  rig.boxes.Answer({IDYES, IDOK});
  rig.boxes.WhileOpen([&](HWND box) {
    if (rig.OpenDialogs() != 2) return;
    // Let the box show itself first.
    const ULONGLONG until = GetTickCount64() + 500;
    while (GetTickCount64() < until) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(box, &msg)) DispatchMessageW(&msg);
      }
      Sleep(10);
    }
    shot(box, "message-box");
  });
  rig.script.Then([&] { return rig.Window() != nullptr && rig.WaitedMs(800); })
      .Do([&] { shot(rig.Window(), "main-idle"); })
      .Do([&] {
        rig.recorder->ChooseItem(kIdDeviceList, 1);
        SendMessageW(rig.Control(kIdDeviceList), CB_SHOWDROPDOWN, TRUE, 0);
      })
      .Then([&] { return rig.WaitedMs(500); })
      .Do([&] {
        // The window and the open list beside it.
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(rig.Control(kIdDeviceList), &info);
        RECT window{}, list{}, both{};
        GetWindowRect(rig.Window(), &window);
        GetWindowRect(info.hwndList, &list);
        UnionRect(&both, &window, &list);
        Capture(both, dir + "\\main-device-list.bmp");
        SendMessageW(rig.Control(kIdDeviceList), CB_SHOWDROPDOWN, FALSE, 0);
        rig.recorder->ChooseItem(kIdDeviceList, 0);
      })
      .Do([&] {
        UserClick(rig.Control(row0.rec));
        UserClick(rig.Control(kGridRows[2].rec));
        UserClick(rig.Control(kGridRows[1].left));
        UserClick(rig.Control(kGridRows[2].right));
        UserClickLater(rig.Control(kIdRun));
      })
      .Then([&] { return rig.recorder->bIsRunning == 1 && rig.WaitedMs(2500); })
      .Do([&] { shot(rig.Window(), "main-recording"); })
      .Do([&] { UserClick(rig.Control(kIdRun)); })
      .Then([&] { return rig.recorder->bIsRunning == 0; })
      .Do([&] { UserClickLater(rig.Control(row0.label)); })
      .Then([&] { return rig.OpenDialogs() == 2 && rig.WaitedMs(300); })
      .Do([&] { shot(rig.TopDialog(), "label-dialog"); })
      .Do([&] {
        UserType(rig.TopControl(LabelDialog::kIdLabel), "");
        UserClickLater(rig.TopControl(ui::kIdOk));  // the refusal's box is taken while it is up
      })
      .Then([&] { return rig.boxes.Seen().size() == 2 && rig.WaitedMs(300); })
      .Do([&] { UserKey(rig.TopControl(LabelDialog::kIdLabel), VK_ESCAPE); })
      .Then([&] { return rig.OpenDialogs() == 1; })
      .Do([&] { UserClickLater(rig.Control(kIdOptions)); })
      .Then([&] { return rig.OpenDialogs() == 2 && rig.WaitedMs(300); })
      .Do([&] {
        shot(rig.TopDialog(), "options-dialog");
        UserKey(rig.TopDialog(), VK_ESCAPE);
      })
      .Then([&] { return rig.OpenDialogs() == 1; })
      .Do([&] { UserClickLater(rig.Control(row0.cal)); })
      .Then([&] { return rig.OpenDialogs() == 2 && rig.WaitedMs(300); })
      .Do([&] {
        shot(rig.TopDialog(), "calibration-options-dialog");
        UserClickLater(rig.TopControl(1107));
      })
      .Then([&] { return rig.OpenDialogs() == 3 && rig.WaitedMs(300); })
      .Do([&] {
        shot(rig.TopDialog(), "create-calibration-dialog");
        UserKey(rig.TopDialog(), VK_ESCAPE);
      })
      .Then([&] { return rig.OpenDialogs() == 2; })
      .Do([&] { UserKey(rig.TopDialog(), VK_ESCAPE); })
      .Then([&] { return rig.OpenDialogs() == 1; })
      .Do([&] { PostMessageW(rig.Window(), WM_CLOSE, 0, 0); });
  rig.Run();
}

}  // namespace
}  // namespace varnel::test
