import sys; open(sys.argv[3],"w").write("")
