// Finds the texts of a window that need more room than their controls have:
// each label, button, radio, check box, group title, list entry, drop-down item,
// column header and read-only value is measured with its font and compared with
// the control's geometry after layout, the room the style takes for frames,
// indicators and margins included. A control that reaches past the edge of a
// window it sits in is reported too: the part outside is never drawn. Texts
// reserved for a field (platform/TextRoom.h) are measured as if it showed them.
#pragma once

#include <QSize>
#include <QString>

#include <string>
#include <vector>

class QWidget;

namespace pemberlux::uiwalk {

struct Clipping {
    QString control; // "IDC_1084 (QLineEdit) in pemberlux::CPrintingSetupLB610_1"
    QString text;
    QSize needed;
    QSize available;

    std::string Describe() const;
};

// Every visible control under `root` (root included) whose text does not fit.
std::vector<Clipping> FindClippedTexts(const QWidget* root);

} // namespace pemberlux::uiwalk
