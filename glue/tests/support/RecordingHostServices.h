// Host services for tests: records every message box, file dialog and beep,
// and answers them from queues the test fills (OK / Yes / cancel when empty).
#ifndef QUILLNET_RECORDINGHOSTSERVICES_H
#define QUILLNET_RECORDINGHOSTSERVICES_H

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quillnet/hostservices.h"

namespace quillnet {

class RecordingHostServices : public HostServices {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({text, caption, icon, buttons});
        if (!answers_.empty()) {
            MessageAnswer answer = answers_.front();
            answers_.pop_front();
            return answer;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }

    std::optional<std::string> chooseFile(const FileDialogRequest& request) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileRequests_.push_back(request);
        if (fileAnswers_.empty()) return std::nullopt;
        std::optional<std::string> answer = fileAnswers_.front();
        fileAnswers_.pop_front();
        return answer;
    }

    void beep() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++beeps_;
    }

    void answerNextBox(MessageAnswer answer)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_.push_back(answer);
    }
    void answerNextFileDialog(std::optional<std::string> path)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileAnswers_.push_back(std::move(path));
    }

    std::vector<Box> boxes() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }
    std::vector<FileDialogRequest> fileRequests() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return fileRequests_;
    }
    int beeps() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return beeps_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::deque<MessageAnswer> answers_;
    std::vector<FileDialogRequest> fileRequests_;
    std::deque<std::optional<std::string>> fileAnswers_;
    int beeps_ = 0;
};

}  // namespace quillnet

#endif
