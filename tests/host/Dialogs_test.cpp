// Prompts a headless host answers: the default answer, answers by prompt and in order, what the
// caller's variable keeps on Cancel, the text on stderr, and answers that cannot be read.
#include "ViewsTestSupport.h"

namespace ViewsTest {
namespace {

using StandIn::DialogAnswers;
using StandIn::parseDialogAnswer;

class Dialogs : public ViewsTest {
  protected:
    void SetUp() override {
        ViewsTest::SetUp();
        fFirstRecord = host().dialogs().size();
        DialogAnswers quiet;
        quiet.echo = false;
        host().setDialogAnswers(quiet);
    }
    void TearDown() override {
        host().setDialogAnswers(DialogAnswers{});
        ViewsTest::TearDown();
    }
    // The prompts answered since the test began.
    std::vector<StandIn::DialogRecord> Answered() const {
        const auto& all = TestSupport::TheHost().dialogs();
        return {all.begin() + static_cast<std::ptrdiff_t>(fFirstRecord), all.end()};
    }

  private:
    std::size_t fFirstRecord = 0;
};

TEST_F(Dialogs, ByDefaultThePromptIsAnsweredOkWithTheValueOffered) {
    bool value = false;
    EXPECT_TRUE(QZ::GetBoolean("Invert?", true, &value));
    EXPECT_TRUE(value);
    value = true;
    EXPECT_TRUE(QZ::GetBoolean("Smooth?", false, &value));
    EXPECT_FALSE(value);
    ASSERT_EQ(Answered().size(), 2u);
    EXPECT_EQ(Answered()[0].function, "GetBoolean");
    EXPECT_EQ(Answered()[0].prompt, "Invert?");
    EXPECT_EQ(Answered()[0].offered, "true");
    EXPECT_TRUE(Answered()[0].ok);
    EXPECT_EQ(Answered()[1].value, "false");
}

TEST_F(Dialogs, AnswersGoByPromptFirstThenInOrderThenTheDefault) {
    DialogAnswers answers;
    answers.echo = false;
    answers.byPrompt["Keep?"] = parseDialogAnswer("ok=no");
    answers.inOrder = {parseDialogAnswer("cancel"), parseDialogAnswer("ok=yes")};
    answers.otherwise = parseDialogAnswer("ok=off");
    host().setDialogAnswers(answers);

    bool value = true;
    EXPECT_FALSE(QZ::GetBoolean("First?", false, &value)) << "cancelled";
    EXPECT_TRUE(value) << "a cancelled prompt leaves the caller's value alone";
    EXPECT_TRUE(QZ::GetBoolean("Keep?", true, &value));
    EXPECT_FALSE(value);
    value = false;
    EXPECT_TRUE(QZ::GetBoolean("Second?", false, &value)) << "by prompt used no answer in order";
    EXPECT_TRUE(value);
    EXPECT_TRUE(QZ::GetBoolean("Keep?", true, &value)) << "an answer by prompt serves again";
    EXPECT_FALSE(value);
    value = true;
    EXPECT_TRUE(QZ::GetBoolean("Third?", true, &value));
    EXPECT_FALSE(value) << "the answers in order are used up";
    EXPECT_FALSE(Answered()[0].ok);
    EXPECT_EQ(Answered()[0].value, "");

    host().setDialogAnswers(answers);
    EXPECT_FALSE(QZ::GetBoolean("Again?", true, &value)) << "the order starts again";
}

TEST_F(Dialogs, EachPromptAndItsAnswerArePrintedToStderr) {
    DialogAnswers answers;
    answers.inOrder = {parseDialogAnswer("ok"), parseDialogAnswer("cancel")};
    host().setDialogAnswers(answers);
    bool value = false;
    ::testing::internal::CaptureStderr();
    QZ::GetBoolean("Invert the result?", true, &value);
    QZ::GetBoolean("Really?", false, &value);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[dialog] GetBoolean \"Invert the result?\" (offered: true) -> OK, true\n"
              "[dialog] GetBoolean \"Really?\" (offered: false) -> Cancel\n");
}

TEST_F(Dialogs, AnswersThatCannotBeReadAreRefused) {
    EXPECT_EQ(parseDialogAnswer("OK").ok, true);
    EXPECT_EQ(parseDialogAnswer("ok=").value, "");
    EXPECT_EQ(parseDialogAnswer("ok=a=b").value, "a=b");
    EXPECT_FALSE(parseDialogAnswer("Cancel").ok);
    EXPECT_THROW_MESSAGE(parseDialogAnswer("yes"), std::invalid_argument,
                         "a dialog answer is 'ok', 'cancel' or 'ok=VALUE', not 'yes'");
    EXPECT_THROW_MESSAGE(parseDialogAnswer("cancel=1"), std::invalid_argument,
                         "a dialog answer is 'ok', 'cancel' or 'ok=VALUE', not 'cancel=1'");

    DialogAnswers answers;
    answers.echo = false;
    answers.otherwise = parseDialogAnswer("ok=maybe");
    host().setDialogAnswers(answers);
    bool value = true;
    EXPECT_THROW_MESSAGE(QZ::GetBoolean("Sure?", false, &value), HostError,
                         "GetBoolean: the dialog answer 'maybe' is no Boolean (true, false, yes, "
                         "no, on, off, 1 or 0).");
    EXPECT_TRUE(value);
    EXPECT_THROW_MESSAGE(QZ::GetBoolean(nullptr, false, &value), HostError,
                         "A null string was passed to GetBoolean.");
    EXPECT_TRUE(Answered().empty()) << "failed prompts are not recorded";
    answers.otherwise = parseDialogAnswer("ok=yes");
    host().setDialogAnswers(answers);
    EXPECT_TRUE(QZ::GetBoolean("No variable?", false, nullptr)) << "the value goes nowhere";
}

}  // namespace
}  // namespace ViewsTest
