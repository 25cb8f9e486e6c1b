#include "platform/window/application.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    TMainForm form;
    form.Show();
    return application.Run();
}
