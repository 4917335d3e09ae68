#pragma once

#include "rondel/calldisplayinfo.h"
#include "rondel/records.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class Calls;

// What a unit's screen shows. The base shows nothing and is what units
// without a screen keep; the models turn the calls, the talk, the presences,
// the wards and the backlight into display commands for their unit.
class Display : public QObject
{
    Q_OBJECT
public:
    explicit Display(QObject* parent = nullptr);
    ~Display() override;

    virtual void start();
    virtual void refresh();
    virtual void setBacklight(int level);
    virtual void sendLanguage();
    virtual void showPresences(const QVector<PresenceDisplayInfo>& presences);
    virtual void showWards(const QVector<WardDisplayInfo>& wards);
    virtual void showCalls(const QVector<CallDisplayInfo>& calls);
    virtual void showActiveCalls(const QVector<CallDisplayInfo>& calls);
    virtual void showMutedCalls(const QVector<CallDisplayInfo>& calls);
    virtual void showTalk(const CallDisplayInfo& talk);

    // Follows the unit's calls and talk from now on; the calls are not owned.
    // A display that already followed other calls lets go of them; null
    // silences a replaced display until its deferred deletion.
    void setCalls(Calls* calls);
    Calls* calls() const;

    // Re-reads the unit's calls and hands them to the show operations.
    void updateCalls();
    // Re-reads the unit's talk and hands it to showTalk().
    void updateTalk();

    // While the unit dials, its screen shows whom it is calling instead of
    // the calls it receives; muted calls stay visible.
    void showDialCall();
    void clearCalls();

private:
    void showLists(const QVector<CallDisplayInfo>& active, const QVector<CallDisplayInfo>& muted);
    QVector<CallDisplayInfo> mutedCallInfos() const;

    QPointer<Calls> m_calls;
};
