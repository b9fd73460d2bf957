/*
 * Syntax highlighter of the Vesk script editor. Every line is highlighted on
 * its own (no state carries over between lines), in five passes whose
 * formats override each other in order: keywords, function calls, table
 * members, strings, comment.
 */
#include "vesk_qt_syntax_highlighter.h"

#include <QFont>

namespace {

const char *const KEYWORDS[] = {"var",    "nil",  "if",      "else",   "function",
                                "return", "for",  "while",   "and",    "or",
                                "not",    "size", "foreach", "include"};

QTextCharFormat MakeFormat(Qt::GlobalColor e_color, int n_weight, bool b_italic) {
  QTextCharFormat cFormat;
  cFormat.setForeground(e_color);
  cFormat.setFontWeight(n_weight);
  cFormat.setFontItalic(b_italic);
  return cFormat;
}

/* Calls f_found on every match of the pattern in the text, left to right, each
 * search starting where the previous match ended. */
template <typename F>
void ForEachMatch(QRegExp &c_pattern, const QString &str_text, F f_found) {
  int nPos = c_pattern.indexIn(str_text);
  while (nPos >= 0) {
    f_found(c_pattern);
    /* An empty match must not stall the scan. */
    int nNext = nPos + qMax(1, c_pattern.matchedLength());
    nPos = c_pattern.indexIn(str_text, nNext);
  }
}

} // namespace

CVeskQTSyntaxHighlighter::CVeskQTSyntaxHighlighter(QTextDocument *pc_text)
    : QSyntaxHighlighter(pc_text),
      m_cKeywordFormat(MakeFormat(Qt::darkBlue, QFont::Bold, false)),
      m_cCommentFormat(MakeFormat(Qt::darkGray, QFont::Normal, true)),
      m_cFunctionCallFormat(MakeFormat(Qt::darkRed, QFont::Bold, false)),
      m_cTableMemberFormat(MakeFormat(Qt::darkGreen, QFont::Bold, false)),
      m_cFunctionCallPattern("([A-Za-z_][A-Za-z0-9_]*)(?:\\s*)(\\()(?:.*)(\\))"),
      m_cTableMemberPattern("([A-Za-z_][A-Za-z0-9_]*)(?:\\s*)(\\.)"),
      m_cCommentPattern("#[^[\n]*") {
  /* Strings keep the weight and style of the text around them. */
  m_cStringFormat.setForeground(Qt::darkCyan);
  for (const char *strKeyword : KEYWORDS) {
    m_vecHighlightingRules.append(
        {QRegExp(QString("\\b%1\\b").arg(strKeyword)), m_cKeywordFormat});
  }
}

void CVeskQTSyntaxHighlighter::highlightBlock(const QString &str_text) {
  HighlightKeywords(str_text);
  HighlightFunctionCalls(str_text);
  HighlightTableMembers(str_text);
  HighlightStrings(str_text);
  HighlightComment(str_text);
}

void CVeskQTSyntaxHighlighter::HighlightKeywords(const QString &str_text) {
  for (SHighlightingRule &sRule : m_vecHighlightingRules) {
    ForEachMatch(sRule.Pattern, str_text, [&](const QRegExp &c_match) {
      setFormat(c_match.pos(0), c_match.matchedLength(), sRule.Format);
    });
  }
}

/* The pattern is greedy, so its closing parenthesis is the last one of the
 * line and a line holds at most one highlighted call. */
void CVeskQTSyntaxHighlighter::HighlightFunctionCalls(const QString &str_text) {
  ForEachMatch(m_cFunctionCallPattern, str_text, [&](const QRegExp &c_match) {
    setFormat(c_match.pos(1), c_match.cap(1).length(), m_cFunctionCallFormat);
    setFormat(c_match.pos(2), 1, m_cFunctionCallFormat);
    setFormat(c_match.pos(3), 1, m_cFunctionCallFormat);
  });
}

void CVeskQTSyntaxHighlighter::HighlightTableMembers(const QString &str_text) {
  ForEachMatch(m_cTableMemberPattern, str_text, [&](const QRegExp &c_match) {
    setFormat(c_match.pos(1), c_match.cap(1).length(), m_cTableMemberFormat);
    setFormat(c_match.pos(2), 1, m_cTableMemberFormat);
  });
}

/* Quotes pair up left to right; there are no escapes, and a string left open
 * at the end of the line is not highlighted. */
void CVeskQTSyntaxHighlighter::HighlightStrings(const QString &str_text) {
  static const QRegExp cAnyQuote("['\"]");
  int nPos = 0;
  while (true) {
    int nOpen = str_text.indexOf(cAnyQuote, nPos);
    if (nOpen < 0) return;
    int nClose = str_text.indexOf(str_text.at(nOpen), nOpen + 1);
    if (nClose < 0) return;
    setFormat(nOpen, nClose - nOpen + 1, m_cStringFormat);
    nPos = nClose + 1;
  }
}

/* A comment runs to the end of the line or up to the first "[" in it. */
void CVeskQTSyntaxHighlighter::HighlightComment(const QString &str_text) {
  int nPos = m_cCommentPattern.indexIn(str_text);
  if (nPos >= 0) setFormat(nPos, m_cCommentPattern.matchedLength(), m_cCommentFormat);
}
