// The About window.
#include "pagora/about.h"

#include <QEvent>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace pagora {

TfrAbout::TfrAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About"));
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  Memo1 = new QTextEdit;
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setTextInteractionFlags(Qt::NoTextInteraction);
  QFont f(QStringLiteral("Verdana"));
  f.setBold(true);
  Memo1->setFont(f);
  const QStringList lines{
      QString(),
      QStringLiteral("Pagora"),
      QStringLiteral("============="),
      QStringLiteral("v 0.2.0"),
      QString(),
      tr("Books for the Casio PV handheld:"),
      tr("plain texts packed with LZH, names in the handheld's letters,"),
      tr("sent with Corvane or through PV Manager."),
      QString(),
      tr("ADT container component: the Pagora developers."),
  };
  Memo1->setPlainText(lines.join(u'\n'));
  QTextCursor all(Memo1->document());
  all.select(QTextCursor::Document);
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  all.mergeBlockFormat(centred);
  Memo1->viewport()->setCursor(Qt::CrossCursor);
  Memo1->viewport()->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
  // Wide enough for the longest line in Russian, which a narrower window would wrap.
  setFixedSize(470, 280);
}

bool TfrAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
    accept();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace pagora
