#include "command/CommandTest.h"

namespace pemberlux {

CCommandTest::CCommandTest(QWidget* parent) : CPage(IDD, parent) {}

} // namespace pemberlux
