// The progress window driving the conversion engine on its worker thread.
#include "ui/frmProgress.h"
#include "ui/frmProgressRows.h"

namespace qvo::ui {
namespace {

class NoRows : public convert::ConversionRows {
public:
    int rowCount() const override { return 0; }
    std::string fileName(int) const override { return {}; }
    std::string folderName(int) const override { return {}; }
    std::string status(int) const override { return {}; }
    void setStatus(int, const std::string &) override {}
};

class EngineJob : public ProgressJob {
public:
    EngineJob(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller, convert::ConversionRows *rows)
        : settings_(settings)
    {
        if (settings.mode == 1)
            rows_ = std::make_unique<RowsHandedToWindowThread>(rows ? *rows : noRows_);
        engine_ = std::make_unique<convert::ConversionEngine>(settings, controller, rows_.get());
    }

    void run() override { engine_->run(); }
    const convert::ConversionCounters &counters() const override { return engine_->counters(); }

    std::string finish() override
    {
        if (rows_)
            rows_->settle();
        if (settings_.mode == 1)
            return {};
        return singleFileFailureMessage(engine_->singleFileOutcome());
    }

private:
    settings::clsQvoSettings &settings_;
    NoRows noRows_;
    std::unique_ptr<RowsHandedToWindowThread> rows_;
    std::unique_ptr<convert::ConversionEngine> engine_;
};

} // namespace

void frmProgress::showModal(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller,
                            convert::ConversionRows *rows)
{
    EngineJob job(settings, controller, rows);
    frmProgress window(job, settings);
    window.exec();
}

} // namespace qvo::ui
