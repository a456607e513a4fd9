// Built only by the core_rejects_qt test, with the include path of pemberlux_core
// plus Qt's: it must fail to compile.
#include <QString>

int coreQtProbe() {
    return QString("x").size();
}
