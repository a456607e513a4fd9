// Widgets the network dialogs share: the address field that stands for an IP
// address control, the number field, and the report list with its columns.
#pragma once

#include "core/network/PrintServerChannel.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pemberlux {

// A field's label without its trailing colon (ASCII or full-width) and blanks,
// as the field's accessible name.
std::string FieldName(const std::string& label);

// Gives the labels one width, so fields of several groups line up.
void AlignLabels(const std::vector<QLabel*>& labels);
// The width of the configuration dialogs: the note over them fits on two lines.
constexpr int CONFIG_DIALOG_WIDTH = 440;

// Takes dotted decimal only: up to four fields of 0-255.
QLineEdit* NewAddressEdit();
// The address shown, blank fields as 0; nullopt while it is blank (never set or
// cleared), so the caller can tell "nothing" from 0.0.0.0.
std::optional<Ipv4Octets> AddressOf(const QLineEdit* edit);
void ShowAddress(QLineEdit* edit, const Ipv4Octets& address);

// Takes digits only.
QLineEdit* NewNumberEdit();

// A report list: grid lines, whole rows selected, one at a time, not editable,
// the columns `headers` each `columnWidth` pixels wide, their texts centred.
QTableWidget* NewReportList(const std::vector<std::string>& headers, int columnWidth);
// Sets cell (row, column), creating its item (centred) when needed.
void SetCell(QTableWidget* list, int row, int column, const std::string& text);
std::string CellText(const QTableWidget* list, int row, int column);
// Calls `click` with the row under a left-button press (-1 beside the rows) and
// `doubleClick` with the row of a double click, which comes instead of the
// second press.
void WatchRowClicks(QTableWidget* list, std::function<void(int)> click, std::function<void(int)> doubleClick = {});

} // namespace pemberlux
