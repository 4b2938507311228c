// The receive view and its find bar against a model: a plain document that takes every
// chunk whole, bounded like the panel's view, searched by a plain loop.

#include "assisttestutil.h"

#include "AssistPrefs.h"
#include "RecvFindBar.h"

#include <QTextBlock>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace assisttest;

namespace {

enum class Case { CrLfAcrossPiece, ByteOrderMarks, ManyLinesInSteps, HexFindOnlyBytes, AllMatchesReachable,
                  NextAfterScrolledOut };

class FedPanel : public UartNetAssist
{
public:
    using UartNetAssist::receiveData_slot;
};

class Model
{
public:
    Model(int lines, int chars)
        : maxChars(chars)
    {
        doc.setMaximumBlockCount(lines);
    }
    void add(const QString& text)
    {
        QTextCursor end(&doc);
        end.movePosition(QTextCursor::End);
        end.insertText(text);
        const int excess = doc.characterCount() - 1 - maxChars;
        if (excess > 0) {
            QTextCursor cut(&doc);
            cut.setPosition(excess, QTextCursor::KeepAnchor);
            cut.removeSelectedText();
        }
    }
    QString text() const { return doc.toPlainText(); }
    QVector<int> find(const QString& needle) const
    {
        QVector<int> at;
        const QString t = text();
        for (int i = t.indexOf(needle); i >= 0; i = t.indexOf(needle, i + needle.size()))
            at << i;
        return at;
    }

private:
    QTextDocument doc;
    int maxChars;
};

QString utf8(const QByteArray& bytes)
{
    QTextCodec::ConverterState keepMarks(QTextCodec::IgnoreHeader);
    return QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &keepMarks);
}

QByteArray lines(int count, const QByteArray& prefix, int width = 40)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += (prefix + QByteArray::number(i)).leftJustified(width - 1, '.') + '\n';
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Case)

class tst_RecvModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8")); }
    void viewAndFindFollowTheModel_data();
    void viewAndFindFollowTheModel();
};

void tst_RecvModel::viewAndFindFollowTheModel_data()
{
    QTest::addColumn<Case>("scenario");
    QTest::addColumn<int>("scrollback");
    QTest::newRow("CR LF across a 16 KiB piece") << Case::CrLfAcrossPiece << 1000;
    QTest::newRow("byte-order marks at run and piece starts") << Case::ByteOrderMarks << 1000;
    QTest::newRow("many lines inserted in steps") << Case::ManyLinesInSteps << 10000;
    QTest::newRow("hex find: bytes only, no stamps or text column") << Case::HexFindOnlyBytes << 1000;
    QTest::newRow("6000 matches: all reachable") << Case::AllMatchesReachable << 10000;
    QTest::newRow("next after the shown match scrolled out") << Case::NextAfterScrolledOut << 50;
}

void tst_RecvModel::viewAndFindFollowTheModel()
{
    QFETCH(Case, scenario);
    QFETCH(int, scrollback);
    testutil::TempAppDir app;
    AssistViewPrefs prefs;
    prefs.scrollback = scrollback;
    prefs.hexTextColumn = scenario == Case::HexFindOnlyBytes;
    QVERIFY(AssistShared::instance().setView(prefs));
    FedPanel panel;
    panel.show();
    const bool hex = scenario == Case::HexFindOnlyBytes;
    panel.ApplyConfig(QStringLiteral("3,127.0.0.1,0,0_%1_%1,0_0_0_1000_0_x_0_0,,").arg(hex ? 1 : 0));
    auto* view = child<QPlainTextEdit>(&panel, "recv_text");
    auto* bar = panel.findChild<RecvFindBar*>(QStringLiteral("find_bar"));
    auto* findText = child<QLineEdit>(&panel, "find_text");
    auto* count = child<QLabel>(&panel, "find_count");
    Model model(scrollback, prefs.maxChars());
    model.add(QStringLiteral("[Receive from 127.0.0.1:4000]:"));
    const auto feed = [&](const QByteArray& chunk) {
        panel.receiveData_slot(chunk, QStringLiteral("127.0.0.1"), 4000);
        model.add(utf8(chunk));
    };
    const auto shows = [&]() { return view->toPlainText() == model.text(); };

    switch (scenario) {
    case Case::CrLfAcrossPiece:
        feed(lines(420, "line ").left(16383) + "\r\nnext line\n");
        break;
    case Case::ByteOrderMarks: {
        const QByteArray mark("\xef\xbb\xbf");
        feed(mark + "first\n");
        feed(lines(420, "fill ").left(16384) + mark + "at a piece start\n");
        break;
    }
    case Case::ManyLinesInSteps:
        // More than the view holds, then more while it is still being inserted.
        for (int round = 0; round < 12; ++round) {
            for (int i = 0; i < (round ? 40 : 150); ++i)
                feed(lines(100, "r" + QByteArray::number(round) + "c" + QByteArray::number(i) + " ", 30));
            QTest::qWait(5); // the point: the view is busy inserting meanwhile
        }
        break;
    case Case::HexFindOnlyBytes: {
        // "12" as text ("1" "2" in the text column) and in the stamps' digits; 0x12 five times
        QByteArray data;
        for (int i = 0; i < 40; ++i)
            data += i % 8 == 3 ? QByteArray("\x12", 1) : QByteArray("12");
        panel.receiveData_slot(data, QStringLiteral("127.0.0.1"), 4000);
        QTRY_VERIFY_WITH_TIMEOUT(view->toPlainText().contains(QLatin1String("12 31 32")), 5000);
        bar->open();
        findText->setText(QStringLiteral("12"));
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("1 of %1").arg(data.count('\x12')), 5000);
        return;
    }
    case Case::AllMatchesReachable:
    case Case::NextAfterScrolledOut:
        feed(lines(scrollback == 50 ? 49 : 6000, "hit "));
        break;
    }
    QTRY_VERIFY_WITH_TIMEOUT(shows(), 10000);
    if (scenario != Case::AllMatchesReachable && scenario != Case::NextAfterScrolledOut)
        return;

    bar->open();
    QTest::keyClicks(findText, QStringLiteral("hit "));
    QVector<int> expected = model.find(QStringLiteral("hit "));
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("1 of %1").arg(expected.size()), 5000);
    QCOMPARE(view->textCursor().selectionStart(), expected.first());
    if (scenario == Case::AllMatchesReachable) {
        QTest::keyClick(findText, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(count->text(), QStringLiteral("%1 of %1").arg(expected.size()));
        QCOMPARE(view->textCursor().selectionStart(), expected.last());
        return;
    }
    // Five new lines push the shown match and four more out: Enter shows the oldest left.
    feed(lines(5, "new "));
    QTRY_VERIFY_WITH_TIMEOUT(shows(), 10000);
    QTest::keyClick(findText, Qt::Key_Return);
    expected = model.find(QStringLiteral("hit "));
    QCOMPARE(count->text(), QStringLiteral("1 of %1").arg(expected.size()));
    QCOMPARE(view->textCursor().selectionStart(), expected.first());
}

QTEST_MAIN(tst_RecvModel)
#include "tst_recvmodel.moc"
