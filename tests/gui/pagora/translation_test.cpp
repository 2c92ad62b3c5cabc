// The Russian translation: every text the windows show (captions, labels, buttons, tool tips,
// menu entries, list items, column headers) differs from its English source once it is loaded,
// and counts take Russian's three plural forms.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>
#include <cerrno>
#include <map>
#include <stdexcept>

#include "app_test_support.h"
#include "common/file_access.h"
#include "corvane/uploader_dialog.h"
#include "fakes.h"
#include "pagora/language_setting.h"
#include "translations/language.h"
#include "widgets/failure_text.h"

namespace pagora {
namespace {

using testing_support::WindowTest;
using Texts = std::map<QString, QString>;

// Every text shown by the object and its children, keyed by the object's place in the tree, so
// that the texts of two builds of one window line up.
Texts shownTexts(const QObject& root) {
  Texts texts;
  QList<const QObject*> all{&root};
  for (const QObject* child : root.findChildren<QObject*>()) all << child;
  for (int i = 0; i < all.size(); ++i) {
    const QObject* o = all[i];
    const QString at = QString::number(i) + u' ' + QString::fromUtf8(o->metaObject()->className());
    auto put = [&](const QString& what, const QString& text) {
      if (!text.isEmpty()) texts[at + u' ' + what] = text;
    };
    if (auto* w = qobject_cast<const QWidget*>(o)) {
      if (w->isWindow()) put("title", w->windowTitle());
      put("tooltip", w->toolTip());
    }
    if (auto* b = qobject_cast<const QAbstractButton*>(o)) put("text", b->text());
    if (auto* l = qobject_cast<const QLabel*>(o)) put("text", l->text());
    if (auto* g = qobject_cast<const QGroupBox*>(o)) put("title", g->title());
    if (auto* e = qobject_cast<const QLineEdit*>(o)) put("placeholder", e->placeholderText());
    if (auto* t = qobject_cast<const QTextEdit*>(o)) put("text", t->toPlainText());
    if (auto* m = qobject_cast<const QMenu*>(o)) put("title", m->title());
    if (auto* a = qobject_cast<const QAction*>(o)) put("text", a->text());
    if (auto* c = qobject_cast<const QComboBox*>(o)) {
      for (int k = 0; k < c->count(); ++k) put("item " + QString::number(k), c->itemText(k));
    }
    if (auto* v = qobject_cast<const QAbstractItemView*>(o); v && v->model()) {
      for (int k = 0; k < v->model()->columnCount(); ++k) {
        put("header " + QString::number(k), v->model()->headerData(k, Qt::Horizontal).toString());
      }
    }
  }
  return texts;
}

// Names and symbols that read the same in both languages.
bool sameInEveryLanguage(const QString& text) {
  static const QStringList names{"Pagora", "Corvane", "DOS",  "KOI",  "UTF8", "<H>",  "a  b",
                                 "OK",     "English", "COM1", "COM2", "COM3", "COM4", "README.md"};
  return names.contains(text) || text.startsWith(u'/') ||
         !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}

// Pagora's main window with every window it makes (view, settings, split, About), the chosen
// list's size line filled, and Corvane's dialog with its menu and About box.
Texts everyWindowsTexts() {
  Texts texts;
  auto form = std::make_unique<TForm1>();
  form->loadSettingsDialog();
  texts.merge(shownTexts(*form));
  corvane::testing::FakeClock clock;
  corvane::testing::FakePort port;
  corvane::UploaderDialog dialog(corvane::testing::Harness::defaultOptions(), port, clock, {});
  for (const auto& [at, text] : shownTexts(dialog)) texts["corvane " + at] = text;
  for (const auto& [at, text] : shownTexts(*dialog.contextMenu())) texts["menu " + at] = text;
  QTimer::singleShot(0, [&texts] {
    for (const auto& [at, text] : shownTexts(*QApplication::activeModalWidget())) {
      texts["about " + at] = text;
    }
    QApplication::activeModalWidget()->close();
  });
  dialog.showAbout();
  return texts;
}

void removeTranslations() {
  for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(t);
    delete t;
  }
}

class TranslationTest : public WindowTest {
 protected:
  void TearDown() override {
    removeTranslations();
    WindowTest::TearDown();
  }
};

TEST_F(TranslationTest, EveryTextOfEveryWindowReadsInRussian) {
  const Texts english = everyWindowsTexts();
  ASSERT_EQ(installTranslations(QStringLiteral("ru")), QStringLiteral("ru"));
  const Texts russian = everyWindowsTexts();
  ASSERT_EQ(russian.size(), english.size());
  EXPECT_GT(english.size(), 100u);
  for (const auto& [at, text] : english) {
    if (sameInEveryLanguage(text)) continue;
    EXPECT_NE(russian.at(at), text) << at.toStdString();
  }
}

TEST_F(TranslationTest, CountsTakeTheRussianPluralForms) {
  ASSERT_EQ(installTranslations(QStringLiteral("ru")), QStringLiteral("ru"));
  const std::pair<int, const char*> cases[] = {
      {1, "Книга b: 1 файл"},   {2, "Книга b: 2 файла"},    {5, "Книга b: 5 файлов"},
      {21, "Книга b: 21 файл"}, {11, "Книга b: 11 файлов"}, {104, "Книга b: 104 файла"}};
  for (const auto& [n, expected] : cases) {
    EXPECT_EQ(QCoreApplication::translate("pagora::TForm1", "Book %1: %n file(s)", nullptr, n)
                  .arg(QStringLiteral("b")),
              QString::fromUtf8(expected));
  }
  // A size beyond an int still takes the form of its last two digits.
  EXPECT_EQ(QCoreApplication::translate("pagora::TForm1", "Size : %1 bytes", nullptr,
                                        pluralCount(3000000003))
                .arg(3000000003),
            QString::fromUtf8("Размер: 3000000003 байта"));
}

// English first among the desktop's languages wins even when Russian is named after it; a
// language without a translation gives way to the next one.
TEST_F(TranslationTest, TheFirstDesktopLanguageWithTextsWins) {
  const std::pair<QStringList, const char*> cases[] = {{{"en-US", "ru-RU"}, ""},
                                                       {{"de-DE", "ru-RU"}, "ru"},
                                                       {{"ru-RU", "en-US"}, "ru"},
                                                       {{"de-DE", "de"}, ""},
                                                       {{"ru"}, "ru"}};
  for (const auto& [languages, expected] : cases) {
    EXPECT_EQ(installTranslations(QString(), languages), QString::fromUtf8(expected))
        << languages.join(u' ').toStdString();
    const bool russian = QCoreApplication::translate("pagora::TForm1", "Open") != "Open";
    EXPECT_EQ(russian, *expected != '\0');
    removeTranslations();
  }
}

// A failure reads first in the windows' language, by its kind, with the library's message below
// it; in English the message stands alone, exactly as the library put it.
TEST_F(TranslationTest, AFailureLeadsWithALineInTheWindowsLanguage) {
  // The kind comes from the system's error number; a failure without a kind gets the general line.
  const EFileAccess full("Cannot write", "/mnt/book.lzh", ENOSPC);
  const std::runtime_error plain("boom");
  const std::pair<const std::exception*, const char*> cases[] = {
      {&full, "На диске не хватает места."}, {&plain, "Операция не выполнена."}};
  for (const auto& [failure, lead] : cases)
    EXPECT_EQ(failureText(*failure), QString::fromStdString(failure->what()));
  ASSERT_EQ(installTranslations(QStringLiteral("ru")), QStringLiteral("ru"));
  for (const auto& [failure, lead] : cases) {
    EXPECT_EQ(failureText(*failure), QString::fromUtf8(lead) + QStringLiteral("\n\n") +
                                         QString::fromStdString(failure->what()));
  }
}

// The setting decides over the desktop, and reaches Corvane through the environment; System
// leaves both to the desktop, even when Pagora itself was started with the variable set.
TEST_F(TranslationTest, TheLanguageSettingReachesCorvaneThroughTheEnvironment) {
  const std::pair<const char*, const char*> cases[] = {
      {"Language=ru\r\n", "ru"}, {"Language=en\r\n", "en"}, {"", nullptr}};
  for (const auto& [line, variable] : cases) {
    qputenv(kLanguageVariable, "ru");
    write("prog/config.ini", std::string("[Main]\r\n") + line);
    const QString installed = applyLanguageSetting();
    EXPECT_EQ(qEnvironmentVariableIsSet(kLanguageVariable), variable != nullptr);
    if (variable) {
      EXPECT_EQ(qgetenv(kLanguageVariable), variable);
      EXPECT_EQ(installed, QString::fromUtf8(*variable == 'r' ? "ru" : ""));
    }
    removeTranslations();
  }
  qunsetenv(kLanguageVariable);
}

}  // namespace
}  // namespace pagora
