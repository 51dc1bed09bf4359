#include "testsupport/windowfixture.h"

#include "ui/windowsetup.h"

#include <QDialog>

namespace tabel::test {

WindowFixture::WindowFixture(TestDatabase &db, const QDate &day) : session(&data), today(day)
{
    useShopLocale();
    db.connectModule(data);
    context.data = &data;
    context.session = &session;
    context.windows = &windows;
    context.services.messages = &messages;
    context.services.showModal = [this](QDialog *d) {
        shown << d;
        d->show();
        const int result = onModal ? onModal(d) : modalResult;
        d->hide();
        return result;
    };
    context.services.terminate = [this] { ++quits; };
}

WindowFixture::~WindowFixture()
{
    windows.clear();
}

} // namespace tabel::test
