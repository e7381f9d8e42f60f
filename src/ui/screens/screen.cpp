#include "ui/screens/screen.h"

namespace tarnwell {

Screen::Screen(ScreenMode mode, AppContext& context, FrmMain& main, QWidget* parent)
    : QWidget(parent), context_(context), main_(main), mode_(mode) {}

}  // namespace tarnwell
