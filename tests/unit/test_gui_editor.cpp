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

#include <memory>

namespace {

/* ---------- highlighter ---------- */

/* One letter per character for the format the highlighter gave it:
 * k keyword, c comment, s string, f function call, m table member, . none. */
QString FormatMap(const QString &str_line) {
  QTextDocument cDoc;
  CVeskQTSyntaxHighlighter cHighlighter(&cDoc);
  cDoc.setPlainText(str_line);
  cHighlighter.rehighlight();
  QString strMap(str_line.size(), '.');
  for (const QTextLayout::FormatRange &sRange : cDoc.firstBlock().layout()->formats()) {
    QColor cColor = sRange.format.foreground().color();
    QChar chKind = '?';
    if (!sRange.format.hasProperty(QTextFormat::ForegroundBrush))
      chKind = '.';
    else if (cColor == QColor(Qt::darkBlue))
      chKind = 'k';
    else if (cColor == QColor(Qt::darkGray))
      chKind = 'c';
    else if (cColor == QColor(Qt::darkCyan))
      chKind = 's';
    else if (cColor == QColor(Qt::darkRed))
      chKind = 'f';
    else if (cColor == QColor(Qt::darkGreen))
      chKind = 'm';
    for (int i = sRange.start; i < sRange.start + sRange.length; ++i)
      strMap[i] = chKind;
  }
  return strMap;
}

/* The format of one character of a highlighted line. */
QTextCharFormat FormatAt(const QString &str_line, int n_pos) {
  QTextDocument cDoc;
  CVeskQTSyntaxHighlighter cHighlighter(&cDoc);
  cDoc.setPlainText(str_line);
  cHighlighter.rehighlight();
  for (const QTextLayout::FormatRange &sRange : cDoc.firstBlock().layout()->formats()) {
    if (n_pos >= sRange.start && n_pos < sRange.start + sRange.length)
      return sRange.format;
  }
  return QTextCharFormat();
}

TEST(GuiHighlighter, FormatsHaveTheirColoursWeightsAndStyles) {
  QTextCharFormat cKeyword = FormatAt("var", 0);
  EXPECT_EQ(cKeyword.foreground().color(), QColor(Qt::darkBlue));
  EXPECT_EQ(cKeyword.fontWeight(), 75);
  EXPECT_FALSE(cKeyword.fontItalic());
  QTextCharFormat cComment = FormatAt("# note", 2);
  EXPECT_EQ(cComment.foreground().color(), QColor(Qt::darkGray));
  EXPECT_EQ(cComment.fontWeight(), 50);
  EXPECT_TRUE(cComment.fontItalic());
  QTextCharFormat cString = FormatAt("'x'", 1);
  EXPECT_EQ(cString.foreground().color(), QColor(Qt::darkCyan));
  EXPECT_FALSE(cString.hasProperty(QTextFormat::FontWeight));
  EXPECT_FALSE(cString.fontItalic());
  QTextCharFormat cCall = FormatAt("f()", 0);
  EXPECT_EQ(cCall.foreground().color(), QColor(Qt::darkRed));
  EXPECT_EQ(cCall.fontWeight(), 75);
  QTextCharFormat cMember = FormatAt("t.x", 0);
  EXPECT_EQ(cMember.foreground().color(), QColor(Qt::darkGreen));
  EXPECT_EQ(cMember.fontWeight(), 75);
}

TEST(GuiHighlighter, KeywordsAreWholeCaseSensitiveWords) {
  for (const char *strKeyword :
       {"var", "nil", "if", "else", "function", "return", "for", "while", "and", "or",
        "not", "size", "foreach", "include"}) {
    QString strLine = QString("x %1 y").arg(strKeyword);
    QString strExpected = QString("..%1..").arg(QString(strlen(strKeyword), 'k'));
    EXPECT_EQ(FormatMap(strLine), strExpected) << strKeyword;
  }
  EXPECT_EQ(FormatMap("var x = nil"), "kkk.....kkk");
  EXPECT_EQ(FormatMap("variable nil2 Var _if"), QString(21, '.'));
}

TEST(GuiHighlighter, TwoCallsOnOneLineHighlightTheFirstNameAndOuterParentheses) {
  EXPECT_EQ(FormatMap("foo(1) bar(2)"), "ffff........f");
  EXPECT_EQ(FormatMap("log (x)"), "fff.f.f");
}

TEST(GuiHighlighter, CallsOverrideKeywordsAndMembersPrecedeCalls) {
  EXPECT_EQ(FormatMap("if (x) {"), "ff.f.f..");
  EXPECT_EQ(FormatMap("math.sqrt(x)"), "mmmmmfffff.f");
  EXPECT_EQ(FormatMap("a.b . c"), "mmm.m..");
}

TEST(GuiHighlighter, StringsPairQuotesOnTheirLineOnly) {
  EXPECT_EQ(FormatMap("s = \"a'b\" + 'c'"), "....sssss...sss");
  EXPECT_EQ(FormatMap("x = \"abc"), "........");
  EXPECT_EQ(FormatMap("print(\"hi\")"), "ffffffssssf");
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
  return GuiTestDir() + "/" + str_name;
}

void WriteFile(const QString &str_path, const QByteArray &c_data) {
  QFile cFile(str_path);
  ASSERT_TRUE(cFile.open(QFile::WriteOnly | QFile::Truncate));
  cFile.write(c_data);
}

QByteArray ReadFile(const QString &str_path) {
  QFile cFile(str_path);
  if (!cFile.open(QFile::ReadOnly)) return QByteArray();
  return cFile.readAll();
}

QStringList RecentFiles() {
  QSettings cSettings;
  return cSettings.value("VeskEditor/recentFiles").toStringList();
}

void ClearRecentFiles() {
  QSettings().remove("VeskEditor");
}

/* A handler that records a message box's title and text and presses a button. */
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

/* Runs deferred deletions, so a widget closed with delete-on-close is gone. */
void FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(GuiEditor, MarginHasOneDigitUpToNineLinesAndTwoFromTen) {
  CTestEditor cEditor(TestFile("margin.vsk"));
  int nNine = cEditor.fontMetrics().horizontalAdvance(QLatin1Char('9'));
  ASSERT_GT(nNine, 0);
  cEditor.setPlainText("");
  EXPECT_EQ(cEditor.blockCount(), 1);
  EXPECT_EQ(cEditor.LineNumberAreaWidth(), nNine + 3);
  cEditor.setPlainText("1\n2\n3\n4\n5\n6\n7\n8\n9");
  EXPECT_EQ(cEditor.LineNumberAreaWidth(), nNine + 3);
  EXPECT_EQ(cEditor.Margins().left(), nNine + 3);
  cEditor.appendPlainText("10");
  EXPECT_EQ(cEditor.blockCount(), 10);
  EXPECT_EQ(cEditor.LineNumberAreaWidth(), 2 * nNine + 3);
  /* The viewport makes room as soon as the tenth line arrives. */
  EXPECT_EQ(cEditor.Margins().left(), 2 * nNine + 3);
  EXPECT_EQ(cEditor.Margins().top(), 0);
  EXPECT_EQ(cEditor.Margins().right(), 0);
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
  /* The current-line highlight follows the cursor. */
  ASSERT_EQ(cEditor.extraSelections().size(), 1);
  EXPECT_EQ(cEditor.extraSelections().at(0).cursor.blockNumber(), 2);
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
  ASSERT_EQ(cEditor.extraSelections().size(), 1);
  QTextEdit::ExtraSelection sLine = cEditor.extraSelections().at(0);
  EXPECT_EQ(sLine.format.background().color(), QColor(Qt::yellow).lighter(160));
  EXPECT_TRUE(sLine.format.property(QTextFormat::FullWidthSelection).toBool());
  EXPECT_FALSE(sLine.cursor.hasSelection());
  cEditor.setPlainText("a\nb");
  cEditor.setReadOnly(true);
  cEditor.GoTo(2, 0);
  EXPECT_TRUE(cEditor.extraSelections().isEmpty());
}

TEST(GuiEditor, NewFillsTheSkeletonAndMarksItModified) {
  ClearRecentFiles();
  CVeskQTEditor cEditor(TestFile("fresh.vsk"));
  int nSignals = 0;
  QObject::connect(&cEditor, &CVeskQTEditor::RecentFilesChanged, [&] { ++nSignals; });
  cEditor.New();
  QString strText = cEditor.toPlainText();
  EXPECT_TRUE(strText.startsWith("# Use Shift + Click to select a robot\n"));
  EXPECT_TRUE(strText.contains("\nfunction init() {\n   # put your code here\n}\n"));
  EXPECT_TRUE(strText.contains("\nfunction step() {\n"));
  EXPECT_TRUE(strText.endsWith("function destroy() {\n   # put your code here\n}\n"));
  EXPECT_TRUE(cEditor.document()->isModified());
  EXPECT_EQ(RecentFiles(), QStringList{TestFile("fresh.vsk")});
  EXPECT_EQ(nSignals, 1);
}

TEST(GuiEditor, OpenReadsTheFileUnderItsCanonicalPath) {
  ClearRecentFiles();
  QDir(GuiTestDir()).mkpath("real");
  WriteFile(TestFile("real/script.vsk"), "var x = 1\nlog(x)\n");
  QString strIndirect = TestFile("real/../real/./script.vsk");
  CVeskQTEditor cEditor(strIndirect);
  QString strCanonical = QFileInfo(TestFile("real/script.vsk")).canonicalFilePath();
  EXPECT_EQ(cEditor.GetFilePath(), strCanonical);
  ASSERT_TRUE(cEditor.Open());
  EXPECT_EQ(cEditor.toPlainText(), "var x = 1\nlog(x)\n");
  EXPECT_FALSE(cEditor.document()->isModified());
  EXPECT_FALSE(cEditor.isWindowModified());
  EXPECT_EQ(RecentFiles(), QStringList{strCanonical});
  /* An edit marks the window modified; undoing it clears the mark again. */
  cEditor.insertPlainText("# edit\n");
  EXPECT_TRUE(cEditor.isWindowModified());
  cEditor.undo();
  EXPECT_FALSE(cEditor.isWindowModified());
}

TEST(GuiEditor, OpenOfAMissingFileFailsQuietly) {
  ClearRecentFiles();
  CVeskQTEditor cEditor(TestFile("missing/none.vsk"));
  cEditor.setPlainText("kept");
  EXPECT_FALSE(cEditor.Open());
  EXPECT_EQ(cEditor.toPlainText(), "kept");
  EXPECT_TRUE(RecentFiles().isEmpty());
}

TEST(GuiEditor, RecentFilesKeepTheFiveLatestMostRecentFirst) {
  ClearRecentFiles();
  QStringList lstPaths;
  for (int i = 0; i < 6; ++i) {
    lstPaths << QFileInfo(TestFile(QString("recent%1.vsk").arg(i))).absoluteFilePath();
    WriteFile(lstPaths.last(), "x = 1\n");
    CVeskQTEditor cEditor(lstPaths.last());
    ASSERT_TRUE(cEditor.Open());
  }
  EXPECT_EQ(RecentFiles(), (QStringList{lstPaths[5], lstPaths[4], lstPaths[3],
                                        lstPaths[2], lstPaths[1]}));
  /* Reopening a listed file moves it to the front without a duplicate. */
  CVeskQTEditor cAgain(lstPaths[2]);
  ASSERT_TRUE(cAgain.Open());
  EXPECT_EQ(RecentFiles(), (QStringList{lstPaths[2], lstPaths[5], lstPaths[4],
                                        lstPaths[3], lstPaths[1]}));
  /* Opening the latest again changes nothing. */
  ASSERT_TRUE(cAgain.Open());
  EXPECT_EQ(RecentFiles().size(), 5);
  EXPECT_EQ(RecentFiles().first(), lstPaths[2]);
}

TEST(GuiEditor, SaveWritesTheTextToANewFile) {
  ClearRecentFiles();
  QString strPath = TestFile("saved.vsk");
  QFile::remove(strPath);
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
  ClearRecentFiles();
  QString strChosen = QFileInfo(TestFile("chosen.vsk")).absoluteFilePath();
  QFile::remove(strChosen);
  CVeskQTEditor cEditor(TestFile("before.vsk"));
  cEditor.setPlainText("var a = 2\n");
  QString strTitle;
  CModalResponder cResponder({[&](QWidget *pc_modal) {
    auto *pcDialog = qobject_cast<QFileDialog *>(pc_modal);
    ASSERT_NE(pcDialog, nullptr);
    strTitle = pcDialog->windowTitle();
    pcDialog->selectFile(strChosen);
    static_cast<QDialog *>(pcDialog)->accept();
  }});
  ASSERT_TRUE(cEditor.SaveAs());
  EXPECT_EQ(cResponder.Pending(), 0);
  EXPECT_EQ(strTitle, "Save file");
  EXPECT_EQ(cEditor.GetFilePath(), strChosen);
  EXPECT_EQ(ReadFile(strChosen), "var a = 2\n");
  EXPECT_EQ(RecentFiles(), QStringList{strChosen});
}

TEST(GuiEditor, SaveToAnUnwritablePathWarnsAndFails) {
  CVeskQTEditor cEditor(GuiTestDir());
  cEditor.setPlainText("x");
  cEditor.document()->setModified(true);
  QString strTitle, strText;
  CModalResponder cResponder({Answer(QMessageBox::Ok, &strTitle, &strText)});
  EXPECT_FALSE(cEditor.Save());
  EXPECT_EQ(cResponder.Pending(), 0);
  EXPECT_EQ(strTitle, "Vesk Editor");
  QString strPrefix = QString("Cannot write file %1:\n").arg(cEditor.GetFilePath());
  EXPECT_TRUE(strText.startsWith(strPrefix)) << strText.toStdString();
  EXPECT_GT(strText.size(), strPrefix.size() + 1);
  EXPECT_TRUE(strText.endsWith(".")) << strText.toStdString();
  EXPECT_TRUE(cEditor.document()->isModified());
}

TEST(GuiEditor, UnchangedEditorClosesWithoutAsking) {
  QPointer<CVeskQTEditor> pcEditor = new CVeskQTEditor(TestFile("plain.vsk"));
  pcEditor->setPlainText("x");
  CModalResponder cResponder({[](QWidget *) { FAIL() << "no dialog expected"; }});
  EXPECT_TRUE(pcEditor->close());
  FlushDeletes();
  EXPECT_TRUE(pcEditor.isNull());
}

TEST(GuiEditor, CloseOfAModifiedEditorAsksAndCancelKeepsIt) {
  QPointer<CVeskQTEditor> pcEditor = new CVeskQTEditor(TestFile("ask.vsk"));
  pcEditor->New();
  QString strTitle, strText;
  CModalResponder cResponder({Answer(QMessageBox::Cancel, &strTitle, &strText)});
  EXPECT_FALSE(pcEditor->close());
  FlushDeletes();
  ASSERT_FALSE(pcEditor.isNull());
  EXPECT_EQ(strTitle, "Vesk editor");
  EXPECT_EQ(strText, QString("'%1' has been modified. Do you want to save your changes?")
                         .arg(TestFile("ask.vsk")));
  EXPECT_FALSE(QFile::exists(TestFile("ask.vsk")));
  delete pcEditor;
}

TEST(GuiEditor, CloseWithSaveWritesTheFile) {
  QString strPath = TestFile("closesave.vsk");
  QPointer<CVeskQTEditor> pcEditor = new CVeskQTEditor(strPath);
  pcEditor->New();
  QString strTitle, strText;
  CModalResponder cResponder({Answer(QMessageBox::Save, &strTitle, &strText)});
  EXPECT_TRUE(pcEditor->close());
  FlushDeletes();
  EXPECT_TRUE(pcEditor.isNull());
  EXPECT_EQ(QString::fromUtf8(ReadFile(strPath)), CVeskQTEditor::NewFileText());
}

TEST(GuiEditor, CloseWithAFailedSaveStaysOpen) {
  QPointer<CVeskQTEditor> pcEditor = new CVeskQTEditor(TestFile("no/such/dir/x.vsk"));
  pcEditor->New();
  QString strTitle1, strText1, strTitle2, strText2;
  CModalResponder cResponder({Answer(QMessageBox::Save, &strTitle1, &strText1),
                              Answer(QMessageBox::Ok, &strTitle2, &strText2)});
  EXPECT_FALSE(pcEditor->close());
  FlushDeletes();
  ASSERT_FALSE(pcEditor.isNull());
  EXPECT_EQ(cResponder.Pending(), 0);
  EXPECT_EQ(strTitle2, "Vesk Editor");
  EXPECT_TRUE(strText2.startsWith("Cannot write file ")) << strText2.toStdString();
  delete pcEditor;
}

} // namespace
