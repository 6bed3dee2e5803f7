// Host services for tests: records every message box, file dialog, password
// question and beep. Boxes are answered OK (Yes for questions); file dialogs
// and password questions from queues the test fills, cancelled when empty.
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
        std::optional<MessageAnswer> defaultAnswer = std::nullopt;  // when the host asked with one
    };

    MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override
    {
        return record({text, caption, icon, buttons});
    }

    MessageAnswer messageBoxWithDefault(const std::string& text, const std::string& caption, MessageIcon icon,
                                        MessageButtons buttons, MessageAnswer defaultAnswer) override
    {
        return record({text, caption, icon, buttons, defaultAnswer});
    }

    // The answer to the next Yes/No question (Yes when none is queued).
    void answerNextQuestion(MessageAnswer answer)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        questionAnswers_.push_back(answer);
    }

    std::optional<std::string> chooseFile(const FileDialogRequest& request) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileRequests_.push_back(request);
        if (fileAnswers_.empty()) return std::nullopt;
        std::string answer = fileAnswers_.front();
        fileAnswers_.pop_front();
        return answer;
    }

    void beep() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++beeps_;
    }

    std::optional<std::string> askPassword(const std::string& prompt, const std::string& caption) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        passwordPrompts_.push_back(caption + ": " + prompt);
        if (passwordAnswers_.empty()) return std::nullopt;
        std::string answer = passwordAnswers_.front();
        passwordAnswers_.pop_front();
        return answer;
    }

    void answerNextPasswordQuestion(std::string password)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        passwordAnswers_.push_back(std::move(password));
    }
    // "caption: prompt" of every password question, in order.
    std::vector<std::string> passwordPrompts() const
    {
        return std::lock_guard<std::mutex>(mutex_), passwordPrompts_;
    }

    void answerNextFileDialog(std::string path)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileAnswers_.push_back(std::move(path));
    }
    // Copies, taken under the lock, as sends report from their own threads.
    std::vector<Box> boxes() const { return std::lock_guard<std::mutex>(mutex_), boxes_; }
    std::vector<FileDialogRequest> fileRequests() const
    {
        return std::lock_guard<std::mutex>(mutex_), fileRequests_;
    }
    int beeps() const { return std::lock_guard<std::mutex>(mutex_), beeps_; }

private:
    MessageAnswer record(Box box)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(box);
        if (box.buttons != MessageButtons::YesNo) return MessageAnswer::Ok;
        if (questionAnswers_.empty()) return MessageAnswer::Yes;
        MessageAnswer answer = questionAnswers_.front();
        questionAnswers_.pop_front();
        return answer;
    }

    mutable std::mutex mutex_;
    std::deque<MessageAnswer> questionAnswers_;
    std::vector<Box> boxes_;
    std::vector<FileDialogRequest> fileRequests_;
    std::deque<std::string> fileAnswers_;
    std::vector<std::string> passwordPrompts_;
    std::deque<std::string> passwordAnswers_;
    int beeps_ = 0;
};

}  // namespace quillnet

#endif
