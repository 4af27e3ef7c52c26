#pragma once
// The material a timeline block stands for. An Asset has an identity; an AssetMxfTrack is one
// track of media and knows how many frames it runs (at the block's rate). A block holds its
// asset by value and keeps the asset's duration equal to its own. Plain values: any thread,
// one thread at a time.
#include "core/timeline/imfcommon.h"

#include <QUuid>

class Asset
{
public:
    Asset() : m_id(QUuid::createUuid()) {}
    virtual ~Asset() = default;
    Asset(const Asset &) = default;
    Asset &operator=(const Asset &) = default;

    QUuid id() const { return m_id; }

private:
    QUuid m_id;
};

class AssetMxfTrack : public Asset
{
public:
    // A track whose media is not known yet counts as 1000 frames long.
    static constexpr qint64 kUnknownDurationFrames = 1000;

    AssetMxfTrack() = default;
    explicit AssetMxfTrack(const Duration &sourceDuration) : m_sourceDuration(sourceDuration) {}

    Duration sourceDuration() const { return m_sourceDuration; }
    void setSourceDuration(const Duration &duration) { m_sourceDuration = duration; }

private:
    Duration m_sourceDuration{kUnknownDurationFrames};
};
