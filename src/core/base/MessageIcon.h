// The icon of a message box, chosen by the core and shown by the program.
#pragma once

namespace pemberlux {

enum class MessageIcon { Information, Warning, Stop, Question };

} // namespace pemberlux
