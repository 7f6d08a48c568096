// Read-ahead: while frames are read forwards, the preloader thread reads the
// stretch of the file that follows the reader's window. The stretch is taken
// into the window when the window runs out; anything else that needs the
// file reader first waits for the pass and drops it.
#include "OXLDataReader/IMXVideoReader.h"

bool CIMXVideoReader::SettleReadAhead() {
  if (!m_bReadAheadPending) return false;
  (void)WaitPreloadThread();
  m_bReadAheadPending = false;
  return true;
}

// The pass moved the file reader past the window: it goes back to the end
// of the loaded data, where the window's reads continue.
void CIMXVideoReader::StopReadAhead() {
  if (!SettleReadAhead() || !COXLDataReader::m_pFileReader) return;
  unsigned long back = WindowEnd();
  (void)COXLDataReader::m_pFileReader->SetFilePointer(back);
}

void CIMXVideoReader::RequestReadAhead() {
  if (!m_bPreloaderRunning || m_bReadAheadPending) return;
  if (!m_bGrowing && WindowEnd() >= GetClipEnd()) return;
  // The file reader stands at the end of the loaded data: the pass reads on from there.
  CVideoPreloader::m_dwLoaded = 0;
  m_qwReadAheadOffset = WindowEnd();
  m_bReadAheadPending = RequestPreload();
}

bool CIMXVideoReader::RefillForward() {
  if (SettleReadAhead()) {
    const bool taken = m_qwReadAheadOffset == WindowEnd() && CVideoPreloader::m_dwLoaded > 0 &&
                       AppendToWindow(CVideoPreloader::m_pBuffer, CVideoPreloader::m_dwLoaded);
    unsigned long back = WindowEnd();
    if (!taken) (void)COXLDataReader::m_pFileReader->SetFilePointer(back);
  }
  // Right after a jump only the edit unit asked for is read: a host that
  // seeks and takes one frame pays for that frame, not for a window and a
  // read-ahead pass the next jump would drop. Reading on loads as before.
  const bool justOne = m_bAfterJump;
  m_bAfterJump = false;
  if (!BufferEditUnit(justOne)) return false;
  if (!justOne) RequestReadAhead();
  return true;
}

int CIMXVideoReader::SetFileIndex(unsigned long offset) {
  StopReadAhead();
  return CIMXDataReader::SetFileIndex(offset);
}
