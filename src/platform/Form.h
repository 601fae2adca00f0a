#pragma once
// A top-level window owned by an object: its messages go to the object's OnMessage, it goes with
// the object, and it can be shown modally on the program's one thread.
#include <string>

#include "platform/Handles.h"

namespace updater {

class Form {
 public:
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  HWND Handle() const { return window_.Get(); }

 protected:
  explicit Form(HINSTANCE instance) : instance_(instance) {}
  virtual ~Form() { DestroyForm(); }
  // Derived destructors call this first, while the members their messages use still exist.
  void DestroyForm() { window_.Reset(); }
  // Registers the class once and creates the window centred on the screen, its client area sized
  // as given.
  void CreateForm(const wchar_t* className, const std::string& caption, DWORD style, DWORD exStyle, int clientWidth,
                  int clientHeight, HCURSOR cursor = nullptr, HICON icon = nullptr);
  // Shows the window and handles messages until EndModal; a quit of the application ends it too
  // and is left for the main loop.
  void ShowModal();
  void EndModal();
  virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  // An exception that left OnMessage: it cannot cross the system's frames of the window procedure
  // (the program would end there), so the form is told, and the message counts as handled.
  virtual void MessageFailed(UINT msg, const std::string& what) = 0;
  // A child window with the given font (the form's font when none).
  HWND AddControl(const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y, int w, int h, int id = 0,
                  HFONT font = nullptr);
  // The product's window font ("맑은 고딕") at a size in points.
  static Font MakeFont(int points, int weight = FW_NORMAL, bool underline = false);

  HINSTANCE instance_;
  Window window_;
  Font font_ = MakeFont(9);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool modalDone_ = true;
};

}  // namespace updater
