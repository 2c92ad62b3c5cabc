// A failure as the windows show it. The libraries' messages are English and name the file and
// the system's reason; a reader of a translated window gets a line in their language first,
// chosen by the failure's kind, with the message as the detail below it.
#pragma once

#include <QString>
#include <exception>

namespace pagora {

// The message alone while the windows speak English; otherwise the translated line for the
// failure's kind, a blank line, and the message.
QString failureText(const std::exception& failure);

}  // namespace pagora
