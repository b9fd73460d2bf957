/*
 * Tests of the script editor widget and its syntax highlighter.
 */
#include "test_gui_app.h"

#include "vesk_qt_editor.h"
#include "vesk_qt_syntax_highlighter.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

/* ---------- highlighter ---------- */

const QColor KEYWORD(Qt::darkBlue), COMMENT(Qt::darkGray), STRING(Qt::darkCyan),
    CALL(Qt::darkRed), MEMBER(Qt::darkGreen);

/* The format of every character of a highlighted line. */
QVector<QTextCharFormat> Highlight(const QString &str_line) {
  QTextDocument cDoc;
  CVeskQTSyntaxHighlighter cHighlighter(&cDoc);
  cDoc.setPlainText(str_line);
  cHighlighter.rehighlight();
  QVector<QTextCharFormat> vecFormats(str_line.size());
  for (const QTextLayout::FormatRange &sRange : cDoc.firstBlock().layout()->formats())
    for (int i = sRange.start; i < sRange.start + sRange.length; ++i)
      vecFormats[i] = sRange.format;
  return vecFormats;
}

/* One letter per character: k keyword, c comment, s string, f function call,
 * m table member, . none. */
QString FormatMap(const QString &str_line) {
  const QList<QPair<QColor, QChar>> lstKinds = {
      {KEYWORD, 'k'}, {COMMENT, 'c'}, {STRING, 's'}, {CALL, 'f'}, {MEMBER, 'm'}};
  QString strMap;
  for (const QTextCharFormat &cFormat : Highlight(str_line)) {
    QChar chKind = cFormat.hasProperty(QTextFormat::ForegroundBrush) ? '?' : '.';
    for (const auto &cKind : lstKinds)
      if (chKind == '?' && cFormat.foreground().color() == cKind.first)
        chKind = cKind.second;
    strMap += chKind;
  }
  return strMap;
}

TEST(GuiHighlighter, FormatsHaveTheirColoursWeightsAndStyles) {
  struct {
    QString Line;
    QColor Color;
    int Weight; /* 0: the format leaves the weight alone */
    bool Italic;
  } sCases[] = {{"var", KEYWORD, 75, false},
                {"#", COMMENT, 50, true},
                {"''", STRING, 0, false},
                {"f()", CALL, 75, false},
                {"t.", MEMBER, 75, false}};
  for (const auto &sCase : sCases) {
    QTextCharFormat cFormat = Highlight(sCase.Line).first();
    EXPECT_EQ(cFormat.foreground().color(), sCase.Color) << sCase.Line.toStdString();
    int nWeight = cFormat.hasProperty(QTextFormat::FontWeight) ? cFormat.fontWeight() : 0;
    EXPECT_EQ(nWeight, sCase.Weight);
    EXPECT_EQ(cFormat.fontItalic(), sCase.Italic);
  }
}

TEST(GuiHighlighter, KeywordsAreWholeCaseSensitiveWords) {
  for (const char *strKeyword :
       {"var", "nil", "if", "else", "function", "return", "for", "while", "and", "or",
        "not", "size", "foreach", "include"}) {
    QString strExpected = QString("..%1..").arg(QString(strlen(strKeyword), 'k'));
    EXPECT_EQ(FormatMap(QString("x %1 y").arg(strKeyword)), strExpected) << strKeyword;
  }
  EXPECT_EQ(FormatMap("var x = nil"), "kkk.....kkk");
  EXPECT_EQ(FormatMap("variable nil2 Var _if"), QString(21, '.'));
}

TEST(GuiHighlighter, TwoCallsOnOneLineHighlightTheFirstNameAndOuterParentheses) {
  EXPECT_EQ(FormatMap("foo(1) bar(2)"), "ffff........f");
  EXPECT_EQ(FormatMap("log (x)"), "fff.f.f");
}

TEST(GuiHighlighter, LaterPassesOverrideEarlierOnes) {
  EXPECT_EQ(FormatMap("if (x) {"), "ff.f.f..");
  EXPECT_EQ(FormatMap("math.sqrt(x)"), "mmmmmfffff.f");
  EXPECT_EQ(FormatMap("a.b . c"), "mmm.m..");
  EXPECT_EQ(FormatMap("print(\"hi\")"), "ffffffssssf");
}

TEST(GuiHighlighter, StringsPairQuotesOnTheirLineOnly) {
  EXPECT_EQ(FormatMap("s = \"a'b\" + 'c'"), "....sssss...sss");
  EXPECT_EQ(FormatMap("x = \"abc"), "........");
}

TEST(GuiHighlighter, QuoteInsideCommentGetsTheCommentFormat) {
  EXPECT_EQ(FormatMap("x = 1 # it's \"q\""), "......cccccccccc");
  EXPECT_EQ(FormatMap("# say \"hi\" if"), QString(13, 'c'));
}

TEST(GuiHighlighter, CommentStopsAtTheFirstBracket) {
  EXPECT_EQ(FormatMap("x = t[1] # see [doc] here"), ".........cccccc..........");
  EXPECT_EQ(FormatMap("#[x]"), "c...");
}

/* ---------- editor ---------- */

/* Exposes the viewport margins the editor sets for its line numbers. */
class CTestEditor : public CVeskQTEditor {
public:
  using CVeskQTEditor::CVeskQTEditor;
  QMargins Margins() const { return viewportMargins(); }
};

QString TestFile(const QString &str_name) {
  return QFileInfo(GuiTestDir() + "/" + str_name).absoluteFilePath();
}

void WriteFile(const QString &str_path, const QByteArray &c_data) {
  QFile cFile(str_path);
  ASSERT_TRUE(cFile.open(QFile::WriteOnly | QFile::Truncate));
  cFile.write(c_data);
}

QByteArray ReadFile(const QString &str_path) {
  QFile cFile(str_path);
  return cFile.open(QFile::ReadOnly) ? cFile.readAll() : QByteArray("<unreadable>");
}

QStringList RecentFiles() {
  return QSettings().value("VeskEditor/recentFiles").toStringList();
}

/* Records a message box's title and text, then presses one of its buttons. */
CModalResponder::THandler Answer(QMessageBox::StandardButton e_button,
                                 QString *pstr_title, QString *pstr_text) {
  return [=](QWidget *pc_modal) {
    auto *pcBox = qobject_cast<QMessageBox *>(pc_modal);
    ASSERT_NE(pcBox, nullptr);
    *pstr_title = pcBox->windowTitle();
    *pstr_text = pcBox->text();
    pcBox->button(e_button)->click();
  };
}

/* Closes the editor; true when it was accepted and deleted (delete-on-close). */
bool CloseAndDelete(QPointer<CVeskQTEditor> &pc_editor) {
  bool bAccepted = pc_editor->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(bAccepted, pc_editor.isNull());
  return bAccepted;
}

TEST(GuiEditor, MarginHasOneDigitUpToNineLinesAndTwoFromTen) {
  CTestEditor cEditor(TestFile("margin.vsk"));
  int nNine = cEditor.fontMetrics().horizontalAdvance(QLatin1Char('9'));
  ASSERT_GT(nNine, 0);
  EXPECT_EQ(cEditor.blockCount(), 1);
  EXPECT_EQ(cEditor.LineNumberAreaWidth(), nNine + 3);
  cEditor.setPlainText("1\n2\n3\n4\n5\n6\n7\n8\n9");
  EXPECT_EQ(cEditor.LineNumberAreaWidth(), nNine + 3);
  cEditor.appendPlainText("10");
  EXPECT_EQ(cEditor.LineNumberAreaWidth(), 2 * nNine + 3);
  /* The viewport makes room as soon as the tenth line arrives. */
  EXPECT_EQ(cEditor.Margins(), QMargins(2 * nNine + 3, 0, 0, 0));
}

TEST(GuiEditor, GoToPlacesTheCursorAfterTheFirstCharacterOfTheColumn) {
  CVeskQTEditor cEditor(TestFile("goto.vsk"));
  cEditor.setPlainText("abc\ndefgh\nij");
  cEditor.GoTo(2, 1);
  EXPECT_EQ(cEditor.textCursor().blockNumber(), 1);
  EXPECT_EQ(cEditor.textCursor().positionInBlock(), 2);
  EXPECT_FALSE(cEditor.textCursor().hasSelection());
  cEditor.GoTo(3, 0);
  EXPECT_EQ(cEditor.textCursor().blockNumber(), 2);
  EXPECT_EQ(cEditor.textCursor().positionInBlock(), 1);
}

TEST(GuiEditor, GoToCountsTextLinesNotWrappedScreenLines) {
  CVeskQTEditor cEditor(TestFile("wrap.vsk"));
  cEditor.resize(120, 200);
  cEditor.setPlainText(QString(40, 'w').replace("w", "word ") + "\nsecond\nthird");
  cEditor.show();
  QCoreApplication::processEvents();
  ASSERT_GT(cEditor.document()->firstBlock().layout()->lineCount(), 1);
  cEditor.GoTo(3, 2);
  EXPECT_EQ(cEditor.textCursor().blockNumber(), 2);
  EXPECT_EQ(cEditor.textCursor().positionInBlock(), 3);
}

TEST(GuiEditor, CurrentLineIsHighlightedUnlessReadOnly) {
  CVeskQTEditor cEditor(TestFile("line.vsk"));
  cEditor.setPlainText("a\nb");
  cEditor.GoTo(2, 0);
  ASSERT_EQ(cEditor.extraSelections().size(), 1);
  QTextEdit::ExtraSelection sLine = cEditor.extraSelections().at(0);
  EXPECT_EQ(sLine.format.background().color(), QColor(Qt::yellow).lighter(160));
  EXPECT_TRUE(sLine.format.property(QTextFormat::FullWidthSelection).toBool());
  EXPECT_EQ(sLine.cursor.blockNumber(), 1);
  cEditor.setReadOnly(true);
  cEditor.GoTo(1, 0);
  EXPECT_TRUE(cEditor.extraSelections().isEmpty());
}

TEST(GuiEditor, NewFillsTheSkeletonAndMarksItModified) {
  QSettings().remove("VeskEditor");
  CVeskQTEditor cEditor(TestFile("fresh.vsk"));
  int nSignals = 0;
  QObject::connect(&cEditor, &CVeskQTEditor::RecentFilesChanged, [&] { ++nSignals; });
  cEditor.New();
  EXPECT_TRUE(
      cEditor.toPlainText().startsWith("# Use Shift + Click to select a robot\n"));
  EXPECT_TRUE(cEditor.toPlainText().endsWith(
      "function destroy() {\n   # put your code here\n}\n"));
  EXPECT_TRUE(cEditor.document()->isModified());
  EXPECT_EQ(RecentFiles(), QStringList{TestFile("fresh.vsk")});
  EXPECT_EQ(nSignals, 1);
}

TEST(GuiEditor, OpenReadsTheFileUnderItsCanonicalPathOrFailsQuietly) {
  QSettings().remove("VeskEditor");
  CVeskQTEditor cMissing(TestFile("missing/none.vsk"));
  cMissing.setPlainText("kept");
  EXPECT_FALSE(cMissing.Open());
  EXPECT_EQ(cMissing.toPlainText(), "kept");
  EXPECT_TRUE(RecentFiles().isEmpty());

  QDir(GuiTestDir()).mkpath("real");
  WriteFile(TestFile("real/script.vsk"), "var x = 1\nlog(x)\n");
  CVeskQTEditor cEditor(GuiTestDir() + "/real/../real/./script.vsk");
  QString strCanonical = QFileInfo(TestFile("real/script.vsk")).canonicalFilePath();
  EXPECT_EQ(cEditor.GetFilePath(), strCanonical);
  ASSERT_TRUE(cEditor.Open());
  EXPECT_EQ(cEditor.toPlainText(), "var x = 1\nlog(x)\n");
  EXPECT_EQ(RecentFiles(), QStringList{strCanonical});
  /* An edit marks the window modified; undoing it clears the mark again. */
  EXPECT_FALSE(cEditor.isWindowModified());
  cEditor.insertPlainText("# edit\n");
  EXPECT_TRUE(cEditor.isWindowModified());
  cEditor.undo();
  EXPECT_FALSE(cEditor.isWindowModified());
}

TEST(GuiEditor, RecentFilesKeepTheFiveLatestMostRecentFirst) {
  QSettings().remove("VeskEditor");
  QStringList lstPaths;
  for (int i = 0; i < 6; ++i) {
    lstPaths << TestFile(QString("recent%1.vsk").arg(i));
    WriteFile(lstPaths.last(), "x = 1\n");
    ASSERT_TRUE(CVeskQTEditor(lstPaths.last()).Open());
  }
  EXPECT_EQ(RecentFiles(), (QStringList{lstPaths[5], lstPaths[4], lstPaths[3],
                                        lstPaths[2], lstPaths[1]}));
  /* Reopening a listed file moves it to the front without a duplicate. */
  ASSERT_TRUE(CVeskQTEditor(lstPaths[2]).Open());
  EXPECT_EQ(RecentFiles(), (QStringList{lstPaths[2], lstPaths[5], lstPaths[4],
                                        lstPaths[3], lstPaths[1]}));
}

TEST(GuiEditor, SaveWritesTheWholeTextToANewFile) {
  QString strPath = TestFile("saved.vsk");
  CVeskQTEditor cEditor(strPath);
  cEditor.New();
  cEditor.appendPlainText("x = \"\xc3\xa9t\xc3\xa9\"");
  ASSERT_TRUE(cEditor.Save());
  EXPECT_EQ(QString::fromUtf8(ReadFile(strPath)), cEditor.toPlainText());
  EXPECT_FALSE(cEditor.document()->isModified());
  /* Saving again replaces the content rather than appending. */
  cEditor.setPlainText("short");
  ASSERT_TRUE(cEditor.Save());
  EXPECT_EQ(ReadFile(strPath), "short");
}

TEST(GuiEditor, SaveAsWritesTheChosenNewFileAndRecordsItsPath) {
  QSettings().remove("VeskEditor");
  QString strChosen = TestFile("chosen.vsk"), strTitle;
  CVeskQTEditor cEditor(TestFile("before.vsk"));
  cEditor.setPlainText("var a = 2\n");
  CModalResponder cResponder({[&](QWidget *pc_modal) {
    auto *pcDialog = qobject_cast<QFileDialog *>(pc_modal);
    ASSERT_NE(pcDialog, nullptr);
    strTitle = pcDialog->windowTitle();
    pcDialog->selectFile(strChosen);
    static_cast<QDialog *>(pcDialog)->accept();
  }});
  ASSERT_TRUE(cEditor.SaveAs());
  EXPECT_EQ(strTitle, "Save file");
  EXPECT_EQ(cEditor.GetFilePath(), strChosen);
  EXPECT_EQ(ReadFile(strChosen), "var a = 2\n");
  EXPECT_EQ(RecentFiles(), QStringList{strChosen});
}

TEST(GuiEditor, SaveToAnUnwritablePathWarnsAndFails) {
  CVeskQTEditor cEditor(GuiTestDir());
  cEditor.setPlainText("x");
  QString strTitle, strText;
  CModalResponder cResponder({Answer(QMessageBox::Ok, &strTitle, &strText)});
  EXPECT_FALSE(cEditor.Save());
  EXPECT_EQ(strTitle, "Vesk Editor");
  QString strPrefix = QString("Cannot write file %1:\n").arg(cEditor.GetFilePath());
  EXPECT_TRUE(strText.startsWith(strPrefix)) << strText.toStdString();
  EXPECT_TRUE(strText.endsWith(".") && strText.size() > strPrefix.size() + 1);
}

TEST(GuiEditor, CloseAsksOnlyForAModifiedDocument) {
  QPointer<CVeskQTEditor> pcPlain = new CVeskQTEditor(TestFile("plain.vsk"));
  pcPlain->setPlainText("x");
  {
    CModalResponder cNoDialog({[](QWidget *) { FAIL() << "no dialog expected"; }});
    EXPECT_TRUE(CloseAndDelete(pcPlain));
  }

  QString strPath = TestFile("ask.vsk"), strTitle, strText;
  QPointer<CVeskQTEditor> pcEditor = new CVeskQTEditor(strPath);
  pcEditor->New();
  {
    CModalResponder cResponder({Answer(QMessageBox::Cancel, &strTitle, &strText)});
    EXPECT_FALSE(CloseAndDelete(pcEditor));
  }
  EXPECT_EQ(strTitle, "Vesk editor");
  EXPECT_EQ(
      strText,
      QString("'%1' has been modified. Do you want to save your changes?").arg(strPath));
  EXPECT_FALSE(QFile::exists(strPath));
  CModalResponder cResponder({Answer(QMessageBox::Save, &strTitle, &strText)});
  EXPECT_TRUE(CloseAndDelete(pcEditor));
  EXPECT_EQ(QString::fromUtf8(ReadFile(strPath)), CVeskQTEditor::NewFileText());
}

TEST(GuiEditor, CloseWithAFailedSaveStaysOpen) {
  QPointer<CVeskQTEditor> pcEditor = new CVeskQTEditor(TestFile("no/such/dir/x.vsk"));
  pcEditor->New();
  QString strTitle1, strText1, strTitle2, strText2;
  CModalResponder cResponder({Answer(QMessageBox::Save, &strTitle1, &strText1),
                              Answer(QMessageBox::Ok, &strTitle2, &strText2)});
  EXPECT_FALSE(CloseAndDelete(pcEditor));
  EXPECT_EQ(cResponder.Pending(), 0);
  EXPECT_TRUE(strText2.startsWith("Cannot write file ")) << strText2.toStdString();
  /* Discarding the changes lets it close. */
  CModalResponder cDiscard({Answer(QMessageBox::Discard, &strTitle1, &strText1)});
  EXPECT_TRUE(CloseAndDelete(pcEditor));
}

} // namespace
