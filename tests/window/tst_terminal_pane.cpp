// The terminal pane as its user meets it: sharp at every display scale,
// selected and copied like a text box, saved, scrolled from the keyboard
// and read by screen readers.
#include "terminal/Cp437.h"
#include "terminal/PaneAccessible.h"
#include "terminal/PaneAnnouncer.h"
#include "terminal/TerminalPane.h"
#include "tests/support/OffscreenScreens.h"
#include "tests/support/WindowRig.h"
#include "tests/support/WithoutFileOverride.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

using namespace kv7;

namespace {

const QByteArray Replies("\x01RGV \x02KV7 1.0\x04\r\n\x01RGAV\x02" "3064\x04\r\nthird line");

// Every byte value in lines of 32; no CR LF pair among them.
QByteArray AllBytesInLines()
{
    QByteArray text;
    for (int b = 0; b < 256; ++b)
        text += char(b) + QByteArray(b % 32 == 31 ? "\r\n" : "");
    return text;
}

// The text's glyphs drawn straight onto a device-pixel image with QPainter,
// each in its cell, with the pane's font at that ratio.
QImage DrawnDirectly(const TerminalPane &pane, const QByteArray &text, const QSize &size, qreal ratio)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(pane.palette().color(QPalette::Base));
    QFont font = pane.font();
    font.setPixelSize(qRound(QFontInfo(pane.font()).pixelSize() * ratio));
    const QFontMetrics metrics(font, &image);
    const int w = metrics.horizontalAdvance(QLatin1Char('M'));
    QPainter p(&image);
    p.setFont(font);
    p.setPen(pane.palette().color(QPalette::Text));
    for (qsizetype r = 0, from = 0; from <= text.size(); ++r) {
        const qsizetype end = text.indexOf("\r\n", from) < 0 ? text.size() : text.indexOf("\r\n", from);
        const QByteArray line = text.mid(from, end - from);
        from = end + 2;
        for (int c = 0; c < line.size(); ++c) {
            const QRect cell(c * w, int(r) * metrics.height(), w, metrics.height());
            p.setClipRect(cell);
            p.drawText(cell.left(), cell.top() + metrics.ascent(),
                       QString(Cp437Glyph(static_cast<unsigned char>(line[c]))));
        }
    }
    return image;
}

QAction *Action(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// What screen readers are told of the pane's text: "offset -removed
// +inserted" for each change, "wrong" when the inserted text is not the
// pane's there.
QStringList heard;

void Hear(QAccessibleEvent *event)
{
    int at = -1;
    QString removed, inserted;
    if (const auto *e = dynamic_cast<QAccessibleTextInsertEvent *>(event))
        at = e->changePosition(), inserted = e->textInserted();
    else if (const auto *e = dynamic_cast<QAccessibleTextRemoveEvent *>(event))
        at = e->changePosition(), removed = e->textRemoved();
    else if (const auto *e = dynamic_cast<QAccessibleTextUpdateEvent *>(event))
        at = e->changePosition(), removed = e->textRemoved(), inserted = e->textInserted();
    const bool right = at < 0 || event->accessibleInterface()->textInterface()->text(at, at + int(inserted.size())) == inserted;
    if (at >= 0)
        heard << QStringLiteral("%1 -%2 +%3%4").arg(at).arg(removed.size()).arg(inserted.size()).arg(right ? "" : " wrong");
}

// A shown pane holding `text`, its view settled, zoomed first with Ctrl+=
// for each '+' of `zooms` and Ctrl+minus for each '-'.
struct Pane {
    explicit Pane(const QByteArray &text, const QByteArray &zooms = {})
    {
        pane.resize(429, 289);
        pane.show();
        for (const char z : zooms)
            QTest::keyClick(&pane, z == '+' ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
        pane.AppendText(text);
        QTest::qWait(30);
    }
    // The boundary before column `col` of line `row`, in viewport pixels.
    QPoint At(int row, int col) const
    {
        const QSizeF cell = QSizeF(pane.CellSize()) / pane.devicePixelRatioF();
        return QPointF(col * cell.width(), (row + 0.5) * cell.height()).toPoint();
    }
    TerminalPane pane;
};

} // namespace

class TestTerminalPane : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallPaneAccessibility(); }

    // One pane moved to screens of ratio 1, 2, 1.25 and 1.5: every glyph,
    // control codes and bytes above 127 included, as QPainter draws it there,
    // at the smallest, a middle and the largest text size.
    void glyphsAreWholeAtEveryRatio_data()
    {
        QTest::addColumn<QByteArray>("zooms");
        QTest::addColumn<int>("points");
        QTest::newRow("6 pt") << QByteArray() << 6;
        QTest::newRow("7 pt, zoomed out beyond first") << QByteArray("--+") << 7;
        QTest::newRow("12 pt") << QByteArray("+++++") << 12;
        QTest::newRow("24 pt, zoomed in beyond") << QByteArray(20, '+') << 24;
    }
    void glyphsAreWholeAtEveryRatio()
    {
        QFETCH(QByteArray, zooms);
        QFETCH(int, points);
        Pane p(AllBytesInLines(), zooms);
        QCOMPARE(p.pane.font().pointSize(), points);
        QTest::keyClick(&p.pane, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::screens().size(), 4);
        for (QScreen *screen : QGuiApplication::screens()) {
            p.pane.setScreen(screen);
            p.pane.move(screen->geometry().topLeft());
            const qreal ratio = screen->devicePixelRatio();
            QTRY_COMPARE(p.pane.devicePixelRatioF(), ratio);
            const QImage shown = p.pane.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const QImage expected = DrawnDirectly(p.pane, AllBytesInLines(), shown.size(), ratio);
            int differ = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    differ += shown.pixel(x, y) != expected.pixel(x, y);
            QVERIFY2(differ == 0, qPrintable(QStringLiteral("%1 pixels differ at ratio %2").arg(differ).arg(ratio)));
        }
    }

    void mouseAndKeysSelectWhatIsCopied_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("copied");
        QTest::newRow("drag to the next line") << "drag" << QString::fromUtf16(u"RGV \u263BKV7 1.0\u2666\n");
        QTest::newRow("shift-click extends") << "shift" << QStringLiteral("GV \u263BK");
        QTest::newRow("double-click a word") << "double" << QStringLiteral("KV7");
        QTest::newRow("triple-click a line") << "triple" << QString::fromUtf16(u"\u263ARGAV\u263B3064\u2666");
        QTest::newRow("Ctrl+A") << "all" << QString::fromUtf16(u"\u263ARGV \u263BKV7 1.0\u2666\n\u263ARGAV\u263B3064\u2666\nthird line");
    }
    void mouseAndKeysSelectWhatIsCopied()
    {
        QFETCH(QString, gesture);
        QFETCH(QString, copied);
        Pane p(Replies);
        QWidget *view = p.pane.viewport();
        if (gesture == "drag") {
            QTest::mousePress(view, Qt::LeftButton, {}, p.At(0, 1));
            QTest::mouseMove(view, p.At(1, 2));
            QTest::mouseMove(view, p.At(1, 0));
            QTest::mouseRelease(view, Qt::LeftButton, {}, p.At(1, 0));
        } else if (gesture == "shift") {
            QTest::mouseClick(view, Qt::LeftButton, {}, p.At(0, 2));
            QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, p.At(0, 7));
        } else if (gesture == "double") {
            QTest::mouseDClick(view, Qt::LeftButton, {}, p.At(0, 7) + QPoint(2, 0));
        } else if (gesture == "triple") {
            QTest::mouseDClick(view, Qt::LeftButton, {}, p.At(1, 3));
            QTest::mouseClick(view, Qt::LeftButton, {}, p.At(1, 3));
        } else {
            QTest::keyClick(&p.pane, Qt::Key_A, Qt::ControlModifier);
        }
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&p.pane, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }

    void contextMenu_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<qint64>("selected");
        QTest::addColumn<qint64>("left");
        const auto size = qint64(Replies.size());
        QTest::newRow("right click, Copy") << "mouse" << "&Copy" << QStringLiteral("\u263ARGV") << 4LL << size;
        QTest::newRow("right click, Copy as Hex") << "mouse" << "Copy as &Hex" << "01 52 47 56" << 4LL << size;
        QTest::newRow("Menu key, Select All") << "keyboard" << "Select &All" << "" << size << size;
        QTest::newRow("Shift+F10, Clear") << "Shift+F10" << "C&lear" << "" << 0LL << 0LL;
        QTest::newRow("right click, Zoom In") << "mouse" << "Zoom &In" << "" << 4LL << size;
    }
    void contextMenu()
    {
        QFETCH(QString, opener);
        QFETCH(QString, action);
        QFETCH(QString, clipboard);
        QFETCH(qint64, selected);
        QFETCH(qint64, left);
        Pane p(Replies);
        p.pane.Select(0, 4);
        QGuiApplication::clipboard()->clear();
        if (opener == "mouse") {
            // Through the window, where a right press becomes a context menu event.
            QTest::mouseClick(p.pane.windowHandle(), Qt::RightButton, {}, p.pane.viewport()->mapTo(&p.pane, p.At(2, 2)));
        } else if (opener == "keyboard") {
            QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            QApplication::sendEvent(&p.pane, &key);
        } else {
            QTest::keyClick(&p.pane, Qt::Key_F10, Qt::ShiftModifier);
        }
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QAction *chosen = Action(menu, action);
        QVERIFY(chosen && chosen->isEnabled());
        chosen->trigger();
        menu->close();
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        QCOMPARE(p.pane.Selection().End() - p.pane.Selection().Start(), selected);
        QCOMPARE(p.pane.Model().Size(), left);
        QCOMPARE(p.pane.font().pointSize(), action == "Zoom &In" ? 7 : 6);
    }

    // New traffic leaves a selection on its bytes; trimming at the bound
    // takes away only what it drops.
    void selectionStaysOnItsBytes()
    {
        TerminalPane pane;
        const QByteArray filler(131070, 'x');
        pane.AppendText(filler + "ABCDEFGH");
        pane.Select(filler.size(), filler.size() + 8);
        pane.AppendText(QByteArray(1000, 'y'));
        QCOMPARE(pane.SelectedBytes(), QByteArray("ABCDEFGH"));
        pane.AppendText(QByteArray(pane.Model().Limit() - pane.Model().Size(), 'z'));
        QCOMPARE(pane.SelectedBytes(), QByteArray("ABCDEFGH"));
        pane.AppendText("!");
        const qint64 cut = pane.Model().Begin() - filler.size();
        QVERIFY2(cut > 0 && cut < 8, qPrintable(QString::number(cut)));
        QCOMPARE(pane.SelectedBytes(), QByteArray("ABCDEFGH").mid(cut));
        pane.AppendText(QByteArray(pane.Model().Limit(), 'w'));
        QVERIFY(pane.Selection().IsEmpty());
    }

    void saveAsWritesThePaneBytes_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("every byte value and CR LF") << true;
        QTest::newRow("a folder that cannot be written") << false;
    }
    void saveAsWritesThePaneBytes()
    {
        QFETCH(bool, writable);
        test::WindowRig rig({1});
        rig.form->Form_Load();
        const QByteArray traffic = AllBytesInLines() + "\r\n";
        rig.form->terminalPane->AppendText(traffic);
        const QString folder = rig.dir.filePath(QStringLiteral("saved"));
        QVERIFY(QDir().mkpath(folder));
        if (!writable)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const QString path = folder + QStringLiteral("/traffic.log");
        rig.dialogs.answers = {path};
        QScopedPointer<QMenu> menu(rig.form->terminalPane->CreateContextMenu());
        {
            const test::WithoutFileOverride asAnyUser;
            Action(menu.get(), QStringLiteral("&Save As…"))->trigger();
        }
        QCOMPARE(rig.dialogs.saves, 1);
        if (writable) {
            QCOMPARE(test::ReadFile(path), traffic);
            QVERIFY(rig.messages.texts.isEmpty());
        } else {
            QVERIFY(!QFile::exists(path));
            QCOMPARE(rig.messages.texts, QStringList{QStringLiteral("The terminal text could not be saved to %1.").arg(path)});
            QVERIFY(!rig.messages.details.value(0).isEmpty());
        }
        QCOMPARE(rig.form->terminalPane->Text(), traffic);
    }

    void keysScroll_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("vertical"); // where the view is after the key
        QTest::addColumn<QString>("horizontal");
        QTest::addColumn<int>("points"); // from 7
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 0 << "end-page" << "end" << 7;
        QTest::newRow("Up") << int(Qt::Key_Up) << 0 << "end-1" << "end" << 7;
        QTest::newRow("Left") << int(Qt::Key_Left) << 0 << "end" << "end-1" << 7;
        QTest::newRow("Home") << int(Qt::Key_Home) << 0 << "end" << "0" << 7;
        QTest::newRow("Ctrl+Home") << int(Qt::Key_Home) << ctrl << "0" << "0" << 7;
        // Zoomed, the first line and column shown stay, as far as the end allows.
        QTest::newRow("Ctrl+plus") << int(Qt::Key_Plus) << (ctrl | int(Qt::ShiftModifier)) << "kept" << "kept" << 8;
        QTest::newRow("Ctrl+wheel, a notch in halves") << 0 << ctrl << "kept" << "kept" << 8;
        QTest::newRow("Ctrl+keypad minus") << int(Qt::Key_Minus) << (ctrl | int(Qt::KeypadModifier)) << "end" << "end" << 6;
        QTest::newRow("Ctrl+0") << int(Qt::Key_0) << ctrl << "end" << "end" << 6;
    }
    void keysScroll()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, vertical);
        QFETCH(QString, horizontal);
        QFETCH(int, points);
        QByteArray text;
        for (int i = 0; i < 300; ++i)
            text += QByteArray::number(i) + QByteArray(300, '-') + "\r\n";
        Pane p(text + QByteArray(400, '='), "+");
        QScrollBar *v = p.pane.verticalScrollBar();
        QScrollBar *h = p.pane.horizontalScrollBar();
        QTRY_VERIFY(v->value() > 0);
        QCOMPARE(v->value(), v->maximum());
        p.pane.Select(3, 9);
        const int page = v->pageStep();
        const auto expected = [v, top = v->value(), left = h->value()](const QScrollBar *bar, const QString &where) {
            return where == "0" ? 0 : where == "kept" ? (bar == v ? top : left) : where == "end" ? bar->maximum()
                   : where == "end-1" ? bar->maximum() - 1 : bar->maximum() - bar->pageStep();
        };
        for (int half = 0; !key && half < 2; ++half) {
            QWheelEvent wheel({9, 9}, {9, 9}, {}, {0, 60}, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(p.pane.viewport(), &wheel);
        }
        if (key)
            QTest::keyClick(&p.pane, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(p.pane.font().pointSize(), points);
        QCOMPARE(p.pane.SelectedBytes(), "------");
        // The page is as many lines as fit in the view, fewer at larger sizes.
        QCOMPARE(v->pageStep() == page, points == 7);
        QCOMPARE(v->value(), expected(v, vertical));
        QCOMPARE(h->value(), expected(h, horizontal));
        // Scrolled away, the view stays until new text comes, then follows
        // it to the end, where the caret is: before a key pressed at once.
        QTest::qWait(30);
        QCOMPARE(v->value(), expected(v, vertical));
        p.pane.AppendText("more");
        QTRY_COMPARE(v->value(), v->maximum());
        p.pane.AppendText("more");
        QTest::keyClick(&p.pane, Qt::Key_Home, Qt::ControlModifier);
        QTest::qWait(30);
        QCOMPARE(v->value(), 0);
        QTest::keyClick(&p.pane, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(v->value(), v->maximum());
        p.pane.Clear();
        QTRY_COMPARE(v->maximum(), 0);
    }

    void screenReadersReadLinesAndSelection()
    {
        Pane p(Replies + "\r.");
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&p.pane);
        QVERIFY(a && a->textInterface());
        QAccessibleTextInterface *text = a->textInterface();
        QCOMPARE(text->characterCount(), int(Replies.size()) + 2);
        const QString whole = text->text(0, text->characterCount());
        QCOMPARE(whole, QString::fromUtf16(u"\u263ARGV \u263BKV7 1.0\u2666\r\n\u263ARGAV\u263B3064\u2666\r\nthird line\u266A."));
        // A byte reads the same in every range: a CR LF's halves as "\r" and
        // "\n", a lone CR as its glyph.
        for (const int from : {13, 14, 15, 38, 39})
            for (int to = from; to <= whole.size(); ++to)
                QCOMPARE(text->text(from, to), whole.mid(from, to - from));
        int start = 0;
        int end = 0;
        QCOMPARE(text->textAtOffset(int(Replies.size()) - 3, QAccessible::LineBoundary, &start, &end),
                 QString::fromUtf16(u"third line\u266A."));
        p.pane.Select(6, 9);
        QCOMPARE(text->selectionCount(), 1);
        text->selection(0, &start, &end);
        QCOMPARE(text->text(start, end), QStringLiteral("KV7"));
        QCOMPARE(text->offsetAtPoint(text->characterRect(20).center()), 20);
    }

    // Steps: text appended, "" for the next announcement (or a second
    // without one), "CLEAR", and "OFF" and "ON" for a screen reader leaving
    // and coming. The bound is 1 MiB, trimmed to 896 KiB (917504 bytes).
    void screenReadersHearNewAndDroppedText_data()
    {
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<QStringList>("told");
        const qsizetype limit = TerminalText::DefaultLimit;
        QTest::newRow("appends gathered, a CR joined by its LF")
            << QByteArrayList{"ab", "c\r", "", "\nd", "e", ""} << QStringList{"0 -0 +4", "3 -1 +4"};
        QTest::newRow("bound drops told text") << QByteArrayList{QByteArray(limit - 8, 'x'), "", QByteArray(16, 'y'), ""}
                                               << QStringList{"0 -0 +1048568", "0 -131080 +0", "917488 -0 +16"};
        QTest::newRow("bound drops untold text, cleared")
            << QByteArrayList{"abc", "", QByteArray(limit, 'x'), "", "CLEAR", "d", ""}
            << QStringList{"0 -0 +3", "0 -3 +0", "0 -0 +917504", "0 -917504 +0", "0 -0 +1"};
        QTest::newRow("nobody listening, then someone")
            << QByteArrayList{"OFF", "ab", "", "ON", "c", ""} << QStringList{"2 -0 +1"};
    }
    void screenReadersHearNewAndDroppedText()
    {
        QFETCH(QByteArrayList, steps);
        QFETCH(QStringList, told);
        TerminalPane pane;
        QAccessible::setActive(true);
        heard.clear();
        const PaneEventHandler before = InstallPaneEventHandler(Hear);
        for (const QByteArray &step : steps) {
            if (step.isEmpty())
                (void)QTest::qWaitFor([count = heard.size()] { return heard.size() > count; }, 1000);
            else if (step == "OFF" || step == "ON")
                QAccessible::setActive(step == "ON");
            else if (step == "CLEAR")
                pane.Clear();
            else
                pane.AppendText(step);
        }
        InstallPaneEventHandler(before);
        QAccessible::setActive(false);
        QCOMPARE(heard, told);
    }
};

int main(int argc, char *argv[])
{
    if (!test::UseOffscreenScreens({1, 2, 1.25, 1.5}))
        return 2;
    QApplication app(argc, argv);
    TestTerminalPane test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_terminal_pane.moc"
