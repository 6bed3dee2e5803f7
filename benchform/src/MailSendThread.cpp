#include "MailSendThread.h"

#include "MailJobs.h"
#include "quillnet/sendreport.h"

namespace benchform {

MailSendThread::MailSendThread(Kind kind, BenchValues values, quillnet::HostServices& host, QObject* parent)
    : SendThread(
          host,
          [kind, values = std::move(values)](quillnet::WRENPOSTCLASS& mail) {
              if (kind == Kind::WithProgress) {
                  fillExtensionMail(mail, values);
              } else {
                  fillCodeMail(mail, values);
              }
              return mail.SENDIT();
          },
          kind == Kind::WithProgress ? Progress::Figures : Progress::None, parent)
{
    setReport([reportTo = &host](quillnet::WRENPOSTCLASS& mail, int32_t result) {
        quillnet::showSendReport(*reportTo, mail, result);
    });
}

}  // namespace benchform
