#include "Exception.h"

Exception::Exception(QString message) : fMessage(std::move(message)), fUtf8(fMessage.toUtf8()) {}

QString FormatMessage(QString pattern, std::initializer_list<QString> args)
{
    QString out;
    out.reserve(pattern.size() + 32);
    auto arg = args.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' && arg != args.end()) {
            out += *arg++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
