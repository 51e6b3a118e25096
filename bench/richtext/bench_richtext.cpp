// Parsing cost of one article: the article text search reads every species' article in turn.
#include "platform/richtext/RichText.h"
#include "platform/richtext/SearchText.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <benchmark/benchmark.h>

namespace {

/// About 3 KB of RTF as the rich-text control writes a species article.
QByteArray GeneratedArticle()
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\fswiss\fcharset238 Arial;})"
                     R"({\f1\froman\fcharset2 Symbol;}}{\colortbl ;\red0\green128\blue0;})"
                     "\r\n{\\*\\generator Msftedit 5.41.15.1507;}\\viewkind4\\uc1\\pard\\qc\\b\\f0\\fs28 "
                     "Pampeli\\'9aka l\\'e9ka\\'f8sk\\'e1\\b0\\fs20\\par\r\n\\pard\\qj ";
    const QByteArray paragraph =
        R"(Vytrval\'e1 bylina s \b kolovitou\b0  r\'f9\'9e\'ecnou listovou \cf1 v\'fdhonkou\cf0 , )"
        R"(kv\'ecte od dubna do \i \'e8ervna\i0 ; \'9e\'e1rov\'ec \'9elut\'e9 \'fabory \u382?\'e1ru.\par)"
        "\r\n";
    while (rtf.size() < 3000)
        rtf += paragraph;
    return rtf + "}";
}

void ArticleTextOnly(benchmark::State& state)
{
    const QByteArray article = GeneratedArticle();
    for (auto _ : state)
        benchmark::DoNotOptimize(orvela::richtext::ArticleText(article));
    state.SetBytesProcessed(state.iterations() * article.size());
}
BENCHMARK(ArticleTextOnly);

void ArticleTextAndSearch(benchmark::State& state)
{
    const QByteArray article = GeneratedArticle();
    const QByteArray pattern = orvela::richtext::FoldedText(u"růže");
    for (auto _ : state)
        benchmark::DoNotOptimize(orvela::richtext::FoldedArticleText(article).contains(pattern));
    state.SetBytesProcessed(state.iterations() * article.size());
}
BENCHMARK(ArticleTextAndSearch);

void DocumentBuild(benchmark::State& state)
{
    const QByteArray article = GeneratedArticle();
    QTextDocument document;
    for (auto _ : state)
        orvela::richtext::LoadArticle(document, article);
    state.SetBytesProcessed(state.iterations() * article.size());
}
BENCHMARK(DocumentBuild);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
