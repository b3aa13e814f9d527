// The colour button offscreen: its colours and hover, repainting only on
// real changes, the painting steps (default-look frame, pressed shadow and
// shift, face, embossed caption, focus rectangle) and the default look
// following the focus.
#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QLineEdit>
#include <QPainter>
#include <gtest/gtest.h>

#include "notifications/ColorButton.h"

namespace {

const QColor kFace(227, 224, 219);
const QColor kCream(255, 251, 240);

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void enter(QWidget* widget) {
  QEnterEvent event(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(widget, &event);
}

void leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

// The button painted into an image in the given state.
QImage paint(TColorButton& button, bool pressed, bool disabled, bool focused) {
  QImage image(button.size(), QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter painter(&image);
  painter.setFont(button.font());
  button.PaintButton(painter, image.rect(), pressed, disabled, focused);
  return image;
}

// The bounding box of the pixels of one colour.
QRect pixelsOf(const QImage& image, const QColor& color) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == color.rgb()) box |= QRect(x, y, 1, 1);
  return box;
}

bool same(const QImage& image, int x, int y, const QColor& color) { return image.pixel(x, y) == color.rgb(); }

class ColorButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button = new TColorButton(QStringLiteral("Schließen"), &window);
    button->setGeometry(10, 10, 93, 25);
    // Crisp glyphs, so that caption pixels have exactly the caption's colours.
    QFont font = button->font();
    font.setStyleStrategy(QFont::NoAntialias);
    button->setFont(font);
    window.resize(200, 100);
  }
  QWidget window;
  TColorButton* button = nullptr;
};

}  // namespace

TEST_F(ColorButtonTest, DefaultColours_HoverChangesNothingAndRepaintsNothing) {
  window.show();
  settle();
  PaintCounter paints(button);
  enter(button);
  settle();
  EXPECT_EQ(button->FaceColor(), button->BackColor());
  leave(button);
  settle();
  EXPECT_EQ(paints.count, 0);
}

TEST_F(ColorButtonTest, Hover_FaceFollowsTheMouseWithARepaintEachTime) {
  button->SetBackColor(kFace);
  button->SetHoverColor(kCream);
  window.show();
  settle();
  PaintCounter paints(button);
  enter(button);
  settle();
  EXPECT_EQ(button->FaceColor(), kCream);
  EXPECT_EQ(paints.count, 1);
  leave(button);
  settle();
  EXPECT_EQ(button->FaceColor(), kFace);
  EXPECT_EQ(paints.count, 2);
}

TEST_F(ColorButtonTest, SameBackColourAgain_NeitherRepaintsNorResetsTheFace) {
  button->SetBackColor(kFace);
  button->SetHoverColor(kCream);
  window.show();
  settle();
  enter(button);
  settle();
  PaintCounter paints(button);
  button->SetBackColor(kFace);
  button->SetForeColor(button->ForeColor());
  button->SetHoverColor(kCream);
  settle();
  EXPECT_EQ(paints.count, 0);
  EXPECT_EQ(button->FaceColor(), kCream);
}

TEST_F(ColorButtonTest, NewBackColourWhileHovered_IsTheFaceAtOnce) {
  button->SetHoverColor(kCream);
  enter(button);
  button->SetBackColor(Qt::yellow);
  EXPECT_EQ(button->FaceColor(), QColor(Qt::yellow));
}

TEST_F(ColorButtonTest, NewHoverColourWhileHovered_ShowsFromTheNextEntry) {
  button->SetHoverColor(kCream);
  enter(button);
  button->SetHoverColor(Qt::cyan);
  EXPECT_EQ(button->FaceColor(), kCream);
  leave(button);
  enter(button);
  EXPECT_EQ(button->FaceColor(), QColor(Qt::cyan));
}

TEST_F(ColorButtonTest, Raised_FaceInsideTheFrameAndCaptionInForeColour) {
  button->SetBackColor(kFace);
  button->SetForeColor(Qt::blue);
  const QImage image = paint(*button, false, false, false);
  EXPECT_TRUE(same(image, 2, 2, kFace));
  EXPECT_FALSE(same(image, 1, 1, kFace));  // the raised frame
  EXPECT_FALSE(same(image, 0, 0, kFace));
  const QRect caption = pixelsOf(image, Qt::blue);
  ASSERT_FALSE(caption.isEmpty());
  EXPECT_NEAR(caption.center().x(), image.width() / 2, 2);
}

TEST_F(ColorButtonTest, Pressed_ShadowRectangleAndFaceAndCaptionOnePixelRightAndDown) {
  button->SetBackColor(kFace);
  button->SetForeColor(Qt::blue);
  const QImage raised = paint(*button, false, false, false);
  const QImage pressed = paint(*button, true, false, false);
  EXPECT_TRUE(same(pressed, 0, 0, button->palette().color(QPalette::Dark)));
  EXPECT_TRUE(same(pressed, 0, 10, button->palette().color(QPalette::Dark)));
  EXPECT_TRUE(same(pressed, 1, 1, button->palette().color(QPalette::Button)));
  EXPECT_TRUE(same(pressed, 2, 2, kFace));
  EXPECT_EQ(pixelsOf(pressed, Qt::blue), pixelsOf(raised, Qt::blue).translated(1, 1));
}

TEST_F(ColorButtonTest, DefaultLookUnfocused_WindowFrameButNoFocusRectangle) {
  button->SetBackColor(kFace);
  button->SetDefaultLook(true);
  const QColor frame = button->palette().color(QPalette::WindowText);
  const QImage image = paint(*button, false, false, false);
  EXPECT_TRUE(same(image, 0, 0, frame));
  EXPECT_TRUE(same(image, image.width() - 1, 12, frame));
  EXPECT_TRUE(same(image, 4, 4, kFace));
  EXPECT_TRUE(same(image, 6, 4, kFace));
}

TEST_F(ColorButtonTest, DefaultLookFocused_DottedFocusRectangleFourPixelsIn) {
  button->SetBackColor(kFace);
  button->SetDefaultLook(true);
  const QColor frame = button->palette().color(QPalette::WindowText);
  const QImage image = paint(*button, false, false, true);
  // Along its top edge the rectangle alternates frame colour and face.
  for (int x = 5; x < 15; ++x) EXPECT_NE(same(image, x, 4, frame), same(image, x + 1, 4, frame)) << x;
  for (int x = 5; x < 15; ++x) EXPECT_TRUE(same(image, x, 4, frame) || same(image, x, 4, kFace)) << x;
  EXPECT_TRUE(same(image, 3, 3, kFace));
  EXPECT_TRUE(same(image, 4, 5, frame) || same(image, 4, 6, frame));
  // Focused without the default look: the frame, but no focus rectangle.
  button->SetDefaultLook(false);
  const QImage plain = paint(*button, false, false, true);
  EXPECT_TRUE(same(plain, 0, 0, frame));
  EXPECT_TRUE(same(plain, 4, 4, kFace));
}

TEST_F(ColorButtonTest, Disabled_CaptionEmbossedInsteadOfForeColour) {
  button->SetBackColor(kFace);
  button->SetForeColor(Qt::blue);
  const QImage image = paint(*button, false, true, false);
  EXPECT_TRUE(pixelsOf(image, Qt::blue).isEmpty());
  // Inside the raised frame, which has both colours itself.
  const QImage face = image.copy(image.rect().adjusted(2, 2, -2, -2));
  const QRect light = pixelsOf(face, button->palette().color(QPalette::Light));
  const QRect dark = pixelsOf(face, button->palette().color(QPalette::Dark));
  ASSERT_FALSE(dark.isEmpty());
  ASSERT_FALSE(light.isEmpty());
  EXPECT_EQ(light.bottomRight(), dark.bottomRight() + QPoint(1, 1));  // the light copy lies one pixel right and down
}

TEST(ColorButtonFocus, DefaultLook_FollowsTheFocusWithinTheWindow) {
  QDialog dialog;
  auto* edit = new QLineEdit(&dialog);
  auto* other = new QPushButton(QStringLiteral("Andere"), &dialog);
  auto* button = new TColorButton(QStringLiteral("Schließen"), &dialog);
  button->setDefault(true);
  other->setAutoDefault(false);
  dialog.show();
  dialog.activateWindow();
  settle();
  button->setFocus();
  settle();
  EXPECT_TRUE(button->DefaultLook());
  edit->setFocus();
  settle();
  EXPECT_TRUE(button->DefaultLook()) << "default button, focus on a control that is not a button";
  other->setFocus();
  settle();
  EXPECT_FALSE(button->DefaultLook());
}
