// The one seam through which Pagora starts other programs and opens files or web addresses,
// so that tests can capture every start instead of running anything.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pagora {

class Launcher {
 public:
  // Starts a program with its arguments, each passed as one argument (never through a shell),
  // without waiting for it. Returns whether it started.
  using StartHandler = std::function<bool(const QString& program, const QStringList& arguments)>;
  // Asks the desktop to open a file or an address with its associated program.
  using OpenHandler = std::function<bool(const QString& target)>;

  static bool startDetached(const QString& program, const QStringList& arguments);
  static bool open(const QString& target);

  // Replace the real behaviour (tests); an empty handler restores it.
  static void setStartHandler(StartHandler handler);
  static void setOpenHandler(OpenHandler handler);
};

}  // namespace pagora
