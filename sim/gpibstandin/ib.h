#pragma once
// The C interface of the GPIB user library as the stand-in offers it: the traditional board
// and device calls, the find-listeners call and the status variables, with the published
// names, argument meanings and status bits. The stand-in's bus lives in zop-sim; the library
// reaches it over the Unix socket named by ZOP_GPIB_SOCKET.

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned short Addr4882_t;
#define NOADDR ((Addr4882_t)0xffff)

// Status word bits.
enum {
    DCAS = 0x1, DTAS = 0x2, LACS = 0x4, TACS = 0x8, ATN = 0x10, CIC = 0x20, REM = 0x40,
    LOK = 0x80, CMPL = 0x100, EVENT = 0x200, SPOLL = 0x400, RQS = 0x800, SRQI = 0x1000,
    END = 0x2000, TIMO = 0x4000, ERR = 0x8000
};
// Error codes (iberr).
enum {
    EDVR = 0, ECIC = 1, ENOL = 2, EADR = 3, EARG = 4, ESAC = 5, EABO = 6, ENEB = 7, EDMA = 8,
    EOIP = 10, ECAP = 11, EFSO = 12, EBUS = 14, ESTB = 15, ESRQ = 16, ETAB = 20
};
// Time-out codes (ibdev, ibtmo).
enum {
    TNONE = 0, T10us, T30us, T100us, T300us, T1ms, T3ms, T10ms, T30ms, T100ms, T300ms, T1s, T3s,
    T10s, T30s, T100s, T300s, T1000s
};
// End-of-string modes (high byte of the eos argument).
enum { REOS = 0x400, XEOS = 0x800, BIN = 0x1000 };

extern volatile int ibsta, iberr, ibcnt;
extern volatile long ibcntl;

int ibfind(const char *dev);
int ibsic(int ud);
int ibdev(int board_index, int pad, int sad, int timo, int send_eoi, int eos);
int ibtmo(int ud, int v);
int ibwrt(int ud, const void *buf, long count);
int ibrd(int ud, void *buf, long count);
int ibclr(int ud);
int ibonl(int ud, int online);
void FindLstn(int board_desc, const Addr4882_t padList[], Addr4882_t resultList[],
              int maxNumResults);
int ThreadIbsta(void);
int ThreadIberr(void);
int ThreadIbcnt(void);
long ThreadIbcntl(void);

#ifdef __cplusplus
}
#endif
