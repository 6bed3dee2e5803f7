// A C++ host built against the installed kit through the glue.
#include <iostream>

#include <quillnet/progressfigures.h>
#include <quillnet/sendreport.h>
#include <quillnet/wrenpostclass.h>

int main()
{
    quillnet::WRENPOSTCLASS mail;
    mail.SETMAILHOST("127.0.0.1:1");
    mail.SETSUBJECT("installed kit   ");
    int32_t result = mail.SENDIT();  // no recipient: 15 without the library
    quillnet::ProgressFigures figures;
    figures.start(0);
    figures.update(512, 2048, 1000);
    std::string report = quillnet::sendReportText(mail, result);
    std::cout << "glue host: " << report << ", " << figures.figures().MAILEXPECTED << "\n";
    return report == "Error sending E-Mail!|No recipiens specified" && figures.figures().MAILEXPECTED == 4000 ? 0
                                                                                                            : 1;
}
