/*
 * Syntax highlighter of the Vesk script editor: keywords, function calls,
 * table members, strings and comments, one line at a time.
 */
#ifndef VESK_QT_SYNTAX_HIGHLIGHTER_H
#define VESK_QT_SYNTAX_HIGHLIGHTER_H

#include <QRegExp>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QVector>

class CVeskQTSyntaxHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

public:
  explicit CVeskQTSyntaxHighlighter(QTextDocument *pc_text);

protected:
  /* Highlights one line; later passes override earlier ones where they overlap. */
  void highlightBlock(const QString &str_text) override;

private:
  /* A pattern whose every match gets the format. */
  struct SHighlightingRule {
    QRegExp Pattern;
    QTextCharFormat Format;
  };

  void HighlightKeywords(const QString &str_text);
  void HighlightFunctionCalls(const QString &str_text);
  void HighlightTableMembers(const QString &str_text);
  void HighlightStrings(const QString &str_text);
  void HighlightComment(const QString &str_text);

  QVector<SHighlightingRule> m_vecHighlightingRules;
  QTextCharFormat m_cKeywordFormat;
  QTextCharFormat m_cCommentFormat;
  QTextCharFormat m_cStringFormat;
  QTextCharFormat m_cFunctionCallFormat;
  QTextCharFormat m_cTableMemberFormat;
  QRegExp m_cFunctionCallPattern;
  QRegExp m_cTableMemberPattern;
  QRegExp m_cCommentPattern;
};

#endif
