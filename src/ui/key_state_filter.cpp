#include "ui/key_state_filter.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace tarnwell {

KeyStateFilter::KeyStateFilter(QObject* parent) : QObject(parent) {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
      if (state != Qt::ApplicationActive) Clear();
    });
    connect(app, &QGuiApplication::focusWindowChanged, this, [this](QWindow*) { FocusWindowChanged(); });
  }
}

void KeyStateFilter::SetMainWindow(QWidget* window) {
  main_ = window;
}

void KeyStateFilter::FocusWindowChanged() {
  QWidget* active = QApplication::activeWindow();
  if (!main_.isNull() && active != nullptr && active == main_->window()) {
    state_.FocusEntered();
  } else {
    state_.FocusLost();
  }
}

int KeyStateFilter::VirtualKeyOf(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Backspace:
      return vk::Backspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return vk::Tab;
    case Qt::Key_Clear:
      return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return vk::Return;
    case Qt::Key_Shift:
      return vk::Shift;
    case Qt::Key_Control:
      return vk::Control;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return vk::Alt;
    case Qt::Key_Pause:
      return 0x13;
    case Qt::Key_CapsLock:
      return 0x14;
    case Qt::Key_Escape:
      return vk::Escape;
    case Qt::Key_Space:
      return vk::Space;
    case Qt::Key_PageUp:
      return 0x21;
    case Qt::Key_PageDown:
      return 0x22;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return 0x2E;
    default:
      return 0;
  }
}

bool KeyStateFilter::BelongsToMainWindow(QObject* watched) const {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || main_.isNull()) return false;
  return widget->window() == main_->window();
}

bool KeyStateFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      // A key event passes the filter once for every widget it travels through; recording
      // it again is harmless. Keys of dialogs stay in the dialogs.
      if (!BelongsToMainWindow(watched)) break;
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->isAutoRepeat()) break;
      const int code = VirtualKeyOf(key->key());
      if (event->type() == QEvent::KeyPress) {
        if (code != 0) state_.KeyDown(code);
      } else if (code != 0) {
        state_.KeyUp(code);
      }
      // A modifier released while another window had the focus is put right by the next
      // key that arrives without it.
      if (code != vk::Shift && !(key->modifiers() & Qt::ShiftModifier)) state_.KeyUp(vk::Shift);
      if (code != vk::Control && !(key->modifiers() & Qt::ControlModifier)) state_.KeyUp(vk::Control);
      if (code != vk::Alt && !(key->modifiers() & Qt::AltModifier)) state_.KeyUp(vk::Alt);
      break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      if (!BelongsToMainWindow(watched)) break;
      auto* mouse = static_cast<QMouseEvent*>(event);
      int code = 0;
      if (mouse->button() == Qt::LeftButton) code = vk::LeftButton;
      if (mouse->button() == Qt::RightButton) code = vk::RightButton;
      if (mouse->button() == Qt::MiddleButton) code = vk::MiddleButton;
      if (code == 0) break;
      if (event->type() == QEvent::MouseButtonPress) {
        state_.KeyDown(code);
      } else {
        state_.KeyUp(code);
      }
      break;
    }
    case QEvent::Show:
      if (qobject_cast<QDialog*>(watched) != nullptr) Clear();
      break;
    case QEvent::ApplicationDeactivate:
      Clear();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tarnwell
