#include "win32/MainWindow.h"

#include "app/MainWindowLayout.h"
#include "win32/GdiCanvas.h"

namespace varnel::win32 {
namespace {

HICON LoadProgramIcon(int size) {
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kIconResource), IMAGE_ICON, size, size, 0));
}

}  // namespace

MainWindow::MainWindow(RecorderDialog& recorder, Win32UiServices& ui) : recorder_(recorder), ui_(ui) {
  icon_ = LoadProgramIcon(GetSystemMetrics(SM_CXICON));
  smallIcon_ = LoadProgramIcon(GetSystemMetrics(SM_CXSMICON));
}

void MainWindow::Attach(DialogWindow& view) {
  view_ = &view;
  TemplateOptions options;
  options.mainWindow = true;
  view.SetTemplateOptions(options);
  view.SetMessageHook([this](UINT m, WPARAM w, LPARAM l, LRESULT& r) { return OnMessage(m, w, l, r); });
  view.SetOnCreated([this] { OnCreated(); });
  host_ = std::make_unique<Win32WindowHost>(view);
  recorder_.SetWindowHost(host_.get());
  recorder_.onWindowFitted = [this] { FitWindow(); };
  recorder_.onMetersChanged = [this] { InvalidateMeters(); };
}

void MainWindow::OnCreated() {
  HWND hwnd = view_->Handle();
  if (icon_) SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  if (smallIcon_) SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

bool MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return true;
    case WM_CLOSE:
      RunCloseSequence();
      return true;
    case WM_QUERYENDSESSION:
      result = TRUE;
      return true;
    case WM_ENDSESSION:
      // The process may end as soon as this returns: save now.
      if (wParam) RunCloseSequence();
      return true;
    case WM_DEVICECHANGE:
      result = recorder_.HandleMessage({message, wParam, 0});
      ui_.CheckEnded();
      return true;
    case WM_SETCURSOR:
      if (!ui_.WaitCursor()) return false;
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(icon_);
      return true;
    default:
      return false;
  }
}

void MainWindow::RunCloseSequence() {
  recorder_.HandleMessage({WM_CLOSE, 0, 0});
  ui_.CheckEnded();
}

void MainWindow::Paint() {
  HWND hwnd = view_->Handle();
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (IsIconic(hwnd)) {
    SendMessageW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd, &client);
    const ui::Rect at = RecorderDialog::MinimisedIconRect(client.right, client.bottom, GetSystemMetrics(SM_CXICON),
                                                          GetSystemMetrics(SM_CYICON));
    DrawIcon(dc, at.left, at.top, icon_);
  } else {
    GdiCanvas canvas(dc, *view_);
    recorder_.DrawLevelMeters(canvas);
  }
  EndPaint(hwnd, &ps);
}

RECT MainWindow::MeterColumn() const {
  BoundsCanvas bounds;
  recorder_.DrawLevelMeters(bounds);
  return view_ ? view_->ToDevice(bounds.Bounds()) : RECT{};
}

void MainWindow::InvalidateMeters() {
  if (!view_ || !view_->Handle() || IsIconic(view_->Handle())) return;
  ++meterUpdates_;
  const RECT column = MeterColumn();
  // The meters paint every pixel of their frames: no erasing, no flicker.
  InvalidateRect(view_->Handle(), &column, FALSE);
}

void MainWindow::FitWindow() {
  HWND hwnd = view_ ? view_->Handle() : nullptr;
  if (!hwnd) return;
  // The window's bottom 32 pixels below the last shown row's label button,
  // its left, top and right kept; from the normal placement, so that a
  // minimised or maximised window is fitted for when it is restored.
  const int32_t rows = recorder_.Settings.MaxChannels;
  HWND label = view_->ControlHandle(kGridRows[static_cast<std::size_t>(rows - 1)].label);
  if (!label) return;
  RECT labelRect;
  GetWindowRect(label, &labelRect);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&labelRect), 2);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(hwnd, &placement);
  RECT& normal = placement.rcNormalPosition;
  const LONG bottom = normal.top - frame.top + labelRect.bottom + view_->ScaleY(32);
  if (IsIconic(hwnd) || IsZoomed(hwnd)) {
    normal.bottom = bottom;
    SetWindowPlacement(hwnd, &placement);
    return;
  }
  RECT window;
  GetWindowRect(hwnd, &window);
  SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, bottom - normal.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace varnel::win32
