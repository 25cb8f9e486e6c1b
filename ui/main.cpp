#include "platform/application.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    TMainForm window;
    window.show();
    return application.exec();
}
