#include <QApplication>
#include <QTest>

#include <memory>

#include "ui/ui_test.h"

namespace zell::test {

std::vector<TestFactory>& testRegistry()
{
    static std::vector<TestFactory> registry;
    return registry;
}

} // namespace zell::test

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& make : zell::test::testRegistry()) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
