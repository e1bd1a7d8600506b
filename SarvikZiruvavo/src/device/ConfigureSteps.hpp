// The settings of one configure routine as an ordered list of module calls,
// each with the text its failure leaves. Running the list stops at the first
// call that fails, so the module keeps what the earlier calls set and nothing
// after the failure is sent.
#pragma once

#include <QString>
#include <QVector>

#include <functional>

class ConfigureSteps {
public:
    // A library call's status: 0 success, otherwise the module's code or 1.
    using Call = std::function<int()>;

    // Fails with this text.
    void add(const QString& failure, Call call);
    // Fails with "failed to set <setting>: <status>".
    void addNamed(const QString& setting, Call call);
    // Its status is not checked.
    void addUnchecked(std::function<void()> call);

    // Runs the calls in order; at the first failure its text goes to
    // `failure` and the result is false.
    bool run(QString& failure) const;

private:
    struct Step {
        Call call;
        QString text;
        bool named = false;
    };
    QVector<Step> m_steps;
};
