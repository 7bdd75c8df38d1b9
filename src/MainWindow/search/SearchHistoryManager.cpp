#include "MainWindow/search/SearchHistoryManager.h"

#include "shared/AppInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "platform/WholeFile.h"
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

SearchHistoryManager::SearchHistoryManager() : SearchHistoryManager(searchHistoryURL()) {}

SearchHistoryManager::SearchHistoryManager(QString filePath)
    : filePath_(std::move(filePath)),
      storeHistory_(loadSearchHistory(filePath_)),
      writes_(std::make_unique<QThreadPool>()) {
    writes_->setMaxThreadCount(1);
}

SearchHistoryManager::~SearchHistoryManager() {
    waitForWrites();
}

void SearchHistoryManager::waitForWrites() {
    writes_->waitForDone();
}

const QString& SearchHistoryManager::searchHistoryURL() {
    static const QString path = QDir(AppInfo::caches()).filePath(QStringLiteral("searchHistory.info"));
    return path;
}

void SearchHistoryManager::setStoreHistory(const QStringList& terms) {
    storeHistory_ = terms;
    write();
}

void SearchHistoryManager::addSearchHistory(const QString& term) {
    const QString clean = withoutControlCharacters(term);
    if (clean.isEmpty())
        return;
    // Canonically equivalent texts are one term; the case still counts.
    const QString key = clean.normalized(QString::NormalizationForm_C);
    QStringList terms = storeHistory_;
    for (qsizetype i = 0; i < terms.size(); ++i) {
        if (terms.at(i).normalized(QString::NormalizationForm_C) == key) {
            terms.removeAt(i);
            break;
        }
    }
    while (terms.size() > maximumCount - 1)
        terms.removeLast();
    terms.prepend(clean);
    // One write of the final list: only the last of the stepwise writes would be seen anyway.
    setStoreHistory(terms);
}

QString SearchHistoryManager::withoutControlCharacters(const QString& term) {
    QString out;
    out.reserve(term.size());
    for (qsizetype i = 0; i < term.size(); ++i) {
        const QChar c = term.at(i);
        if (c.isHighSurrogate() && i + 1 < term.size() && term.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(term.at(++i));
            continue;
        }
        if (c.isSurrogate() || c.category() == QChar::Other_Control || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            continue;
        out.append(c);
    }
    return out;
}

QByteArray SearchHistoryManager::encode(const QStringList& terms) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(-1);  // one tab, as property lists are usually indented
    xml.writeStartDocument();
    xml.writeDTD(
        QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    if (terms.isEmpty()) {
        xml.writeEmptyElement(QStringLiteral("array"));
    } else {
        xml.writeStartElement(QStringLiteral("array"));
        for (const QString& term : terms)
            xml.writeTextElement(QStringLiteral("string"), term);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

QStringList SearchHistoryManager::decode(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    QStringList terms;
    // Expected: <plist> holding one <array> of <string> elements, nothing else.
    enum class Where { Outside, Plist, Array, AfterArray } where = Where::Outside;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (where == Where::Outside && xml.name() == QLatin1String("plist")) {
                where = Where::Plist;
            } else if (where == Where::Plist && xml.name() == QLatin1String("array")) {
                where = Where::Array;
            } else if (where == Where::Array && xml.name() == QLatin1String("string")) {
                const QString text = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
                if (xml.hasError())
                    return {};
                terms.append(text);
                if (terms.size() == maximumCount)
                    return terms;  // what follows would be dropped anyway
            } else {
                return {};
            }
            break;
        case QXmlStreamReader::EndElement:
            if (where == Where::Array)
                where = Where::AfterArray;
            break;
        case QXmlStreamReader::Characters:
            if (!xml.isWhitespace())
                return {};
            break;
        default: break;
        }
    }
    if (xml.hasError() || where != Where::AfterArray)
        return {};
    return terms;
}

QStringList SearchHistoryManager::loadSearchHistory(const QString& filePath) {
    platform::sweepWholeFileLeftovers(filePath);
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Only the first terms are kept, so only the start of a file grown large is read.
    return decode(file.read(kMaxFileBytes));
}

void SearchHistoryManager::write() const {
    // A failed write is ignored: the list in memory keeps the change and the next write stores it.
    writes_->start([path = filePath_, bytes = encode(storeHistory_)] {
        QDir().mkpath(QFileInfo(path).absolutePath());
        platform::writeWholeFile(path, bytes);
    });
}
