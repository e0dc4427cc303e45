// The program's entry: the window, or a search and export run from the command line.

#include "TApplication.h"
#include "TForm1.h"
#include "TProgramFiles.h"

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    TForm1 form(TProgramFiles::FromExecutable(QCoreApplication::applicationFilePath()));
    form.show();
    return app.exec();
}
