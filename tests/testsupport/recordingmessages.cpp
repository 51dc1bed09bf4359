#include "testsupport/recordingmessages.h"

namespace tabel::test {

void RecordingMessages::show(const QString &caption, const QString &text, Icon icon)
{
    boxes << Box{caption, text, icon, false};
}

bool RecordingMessages::ask(const QString &caption, const QString &text)
{
    boxes << Box{caption, text, Icon::Question, false};
    return answers.isEmpty() ? true : answers.takeFirst();
}

void RecordingMessages::standardError(const QString &text)
{
    boxes << Box{QString(), text, Icon::Error, true};
}

} // namespace tabel::test
