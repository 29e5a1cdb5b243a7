#pragma once
#include "archive/InflatePipeline.h"

class EntryWriter;
class SerialExtraction;

// The worker's side of the pipeline: the files in list order, each from the pieces the helper
// inflated for it, with every failure recorded here as the serial extraction records it.
class PipelineWriter {
public:
    PipelineWriter(InflatePipeline& pipeline, const InflatePipeline::Entry* entries, const WStringArray& names,
                   EntryWriter& writer, SerialExtraction& serial)
        : pipeline_(pipeline), entries_(entries), names_(names), writer_(writer), serial_(serial), held_(nullptr),
          staged_(nullptr)
    {
    }

    HRESULT Write(int index);
    // After the last entry: the checks still to come, up to the helper's end.
    HRESULT Finish();

private:
    PipelineWriter(const PipelineWriter&) = delete;
    PipelineWriter& operator=(const PipelineWriter&) = delete;

    HRESULT NextData(const InflatePipeline::Piece** next);
    HRESULT WriteStaged(const InflatePipeline::Piece& piece, int index);
    HRESULT WriteSmall(const InflatePipeline::Piece& piece, const InflatePipeline::Entry& entry, const WString& name);
    HRESULT WriteStreamed(const InflatePipeline::Piece* piece, const InflatePipeline::Entry& entry, const WString& name);

    InflatePipeline& pipeline_;
    const InflatePipeline::Entry* entries_;
    const WStringArray& names_;
    EntryWriter& writer_;
    SerialExtraction& serial_;
    const InflatePipeline::Piece* held_;    // taken and not yet released
    const WStringArray* staged_;            // the held run's temporary files; null when unstaged
};
