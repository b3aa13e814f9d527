// Notice box tests: how the box looks and that it reports the height its
// content needs after the content or the width changes.
#include "richtext/RichEdit.h"
#include "richtext/RtfReader.h"

#include <QList>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

const char kLongNotice[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Verdana;}}\\fs20 "
    "Die Bundesjugendspiele finden am Freitag statt. Alle Klassen treffen sich "
    "um acht Uhr am Stadion. Bei Regen findet der Unterricht nach Plan statt.\\par "
    "Zweiter Absatz mit weiteren Hinweisen zum Ablauf des Tages.\\par}";

// Records every resizeRequest of a box.
struct RequestLog {
  QList<QRect> requests;
  QMetaObject::Connection connection;
  explicit RequestLog(RichEdit& box) {
    connection = QObject::connect(&box, &RichEdit::resizeRequest, &box,
                                  [this](const QRect& requested) { requests.append(requested); });
  }
  ~RequestLog() { QObject::disconnect(connection); }
};

struct ShownBox {
  RichEdit box;
  ShownBox() {
    box.resize(400, 200);
    box.show();
  }
  void load(const char* text) { ASSERT_TRUE(rtf::read(text, *box.document())); }
};

}  // namespace

TEST(RtfBoxLook, IsReadOnlyFramelessWithoutHorizontalScrollBar) {
  RichEdit box;
  EXPECT_TRUE(box.isReadOnly());
  EXPECT_EQ(box.frameShape(), QFrame::NoFrame);
  EXPECT_EQ(box.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
  EXPECT_EQ(box.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(box.lineWrapMode(), QTextEdit::WidgetWidth);
}

TEST(RtfBoxLook, IsTransparentUntilColourIsSet) {
  RichEdit box;
  EXPECT_FALSE(box.viewport()->autoFillBackground());
  EXPECT_EQ(box.palette().color(QPalette::Base).alpha(), 0);
  box.setBackgroundColor(QColor(252, 241, 201));
  EXPECT_TRUE(box.viewport()->autoFillBackground());
  EXPECT_EQ(box.palette().color(QPalette::Base), QColor(252, 241, 201));
  EXPECT_EQ(box.backgroundColor(), QColor(252, 241, 201));
}

TEST(RtfBoxLines, EmptyBox_HoldsNoLine) {
  RichEdit box;
  EXPECT_FALSE(box.hasLines());
  box.setPlainText("");
  EXPECT_FALSE(box.hasLines());
}

TEST(RtfBoxLines, BoxWithText_HoldsLines) {
  RichEdit box;
  box.setPlainText("Text");
  EXPECT_TRUE(box.hasLines());
}

TEST(RtfBoxResize, NewContent_EmitsRequestWithDocumentHeight) {
  ShownBox shown;
  RequestLog log(shown.box);
  shown.load(kLongNotice);
  ASSERT_GE(log.requests.size(), 1);
  const QRect requested = log.requests.last();
  EXPECT_EQ(requested.top(), 0);
  EXPECT_EQ(requested.bottom(), qCeil(shown.box.document()->size().height()));
  EXPECT_GT(requested.bottom(), 2 * QFontMetrics(QFont("Verdana", 10)).height());
}

TEST(RtfBoxResize, NarrowerBox_RequestsMoreHeight) {
  ShownBox shown;
  shown.load(kLongNotice);
  const int wideHeight = shown.box.requestedRect().bottom();
  RequestLog log(shown.box);
  shown.box.resize(150, 200);
  ASSERT_GE(log.requests.size(), 1);
  EXPECT_GT(log.requests.last().bottom(), wideHeight);
  EXPECT_EQ(log.requests.last().right(), shown.box.viewport()->width() - 1);
}

TEST(RtfBoxResize, EmptiedBox_RequestsLessHeight) {
  ShownBox shown;
  shown.load(kLongNotice);
  const int fullHeight = shown.box.requestedRect().bottom();
  RequestLog log(shown.box);
  shown.box.clear();
  ASSERT_GE(log.requests.size(), 1);
  EXPECT_LT(log.requests.last().bottom(), fullHeight);
  EXPECT_FALSE(shown.box.hasLines());
}
