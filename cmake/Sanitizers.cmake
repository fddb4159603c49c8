if(ORB_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${ORB_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORB_SANITIZE})
endif()
