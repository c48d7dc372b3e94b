#!/usr/bin/env python3
"""Non-blank, non-comment lines of C++ and Python: tests/ against src/ and tools/ (the test data
folders left out). With any argument, every test file with its count."""
import sys,os,re
def count(path):
    n=0; incomment=False
    ext=os.path.splitext(path)[1]
    for line in open(path,encoding='utf-8',errors='replace'):
        s=line.strip()
        if ext=='.py':
            if not s or s.startswith('#'): continue
            n+=1; continue
        if incomment:
            if '*/' in s:
                incomment=False; s=s.split('*/',1)[1].strip()
                if not s: continue
            else: continue
        if not s or s.startswith('//'): continue
        if s.startswith('/*'):
            if '*/' not in s: incomment=True
            rest=s.split('*/',1)[1].strip() if '*/' in s else ''
            if not rest: continue
        n+=1
    return n
def tree(roots):
    tot=0; per={}
    for r in roots:
        for dp,dn,fn in os.walk(r):
            if '/data' in dp: continue
            for f in fn:
                if os.path.splitext(f)[1] in ('.cpp','.h','.hpp','.cc','.py'):
                    p=os.path.join(dp,f); c=count(p); per[p]=c; tot+=c
    return tot,per
t,tp=tree(['tests']); c,cp=tree(['src','tools'])
print('tests',t,'code',c,'ratio %.2f'%(t/c))
if len(sys.argv)>1:
    for p,n in sorted(tp.items(),key=lambda x:-x[1]): print(n,p)
