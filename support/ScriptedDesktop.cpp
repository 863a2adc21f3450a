#include "ScriptedDesktop.h"

Desktop::Answer ScriptedDesktop::ask(const QString &text, Buttons buttons)
{
    asked.append({text, buttons});
    if (whileAsking)
        whileAsking(text);
    if (answers.empty())
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

int ScriptedDesktop::choose(const QString &text, const QStringList &labels)
{
    asked.append({text, Buttons::YesNoCancel, labels});
    if (whileAsking)
        whileAsking(text);
    if (choices.empty())
        return int(labels.size()) - 1;
    const int choice = choices.front();
    choices.pop_front();
    return choice;
}

QString ScriptedDesktop::chooseFile(const FileRequest &request)
{
    fileRequests.append(request);
    if (files.empty())
        return {};
    QString file = files.front();
    files.pop_front();
    return file;
}

bool ScriptedDesktop::handOff(const QUrl &url, const Fallback &fallback)
{
    opened.append(url);
    if (!runHandOff)
        return true;
    if (!m_handOff)
        m_handOff = std::make_unique<HandOff>();
    return m_handOff->open(url, [this, url, fallback](const QString &failure) { handOffEnded(url, failure, fallback); });
}

std::optional<Desktop::SortChoice> ScriptedDesktop::chooseSort(const QStringList &, int)
{
    if (sorts.empty())
        return std::nullopt;
    std::optional<SortChoice> choice = sorts.front();
    sorts.pop_front();
    return choice;
}

QStringList ScriptedDesktop::messages() const
{
    QStringList texts;
    for (const Asked &a : asked)
        texts.append(a.text);
    return texts;
}

void ScriptedDesktop::clear()
{
    answers.clear();
    choices.clear();
    files.clear();
    asked.clear();
    fileRequests.clear();
    opened.clear();
}
